#pragma once

// Helpers shared by the subcommands that open and write documents.

#include "cli/Cli.h"
#include "image/codec/ImageCodec.h"
#include "workspace/DocumentTypes.h"

#include <QImage>

namespace scrivola::cli {

// The kind of an input file; an unknown extension or a missing file is a DocumentError.
DocumentType kindOf(const QString& path);

// Encodes by the output's extension (PNG when it has none we know) and writes atomically.
// The encoding an output file gets from its extension: PNG when the extension names none.
ImageEncoding outputEncoding(const QString& output);
void writeImage(const QImage& image, const QString& output);
void writeBytes(const QByteArray& bytes, const QString& output);

void addDocumentCommands(std::vector<Command>& list);
void addCompressCommands(std::vector<Command>& list);
void addPageCommands(std::vector<Command>& list);
void addMarkupCommands(std::vector<Command>& list);

}  // namespace scrivola::cli
