#include "cli/CliDocuments.h"

#include "image/codec/ImageCodec.h"

#include <QFileInfo>

namespace scrivola::cli {

DocumentType kindOf(const QString& path) {
    if (!QFileInfo::exists(path)) throw DocumentError::fileNotFound(path);
    const auto type = DocumentTypes::from(path);
    if (!type) throw DocumentError::unsupportedFormat(QFileInfo(path).suffix().isEmpty() ? QFileInfo(path).fileName() : QFileInfo(path).suffix());
    return *type;
}

void writeBytes(const QByteArray& bytes, const QString& output) {
    try {
        ImageCodec::writeFileAtomically(output, bytes);
    } catch (const ImageCodecError&) {
        throw DocumentError::saveFailed(QStringLiteral("Could not write to ") + QFileInfo(output).fileName());
    }
}

ImageEncoding outputEncoding(const QString& output) {
    return ImageCodec::encodingForExtension(QFileInfo(output).suffix()).value_or(ImageEncoding::png);
}

void writeImage(const QImage& image, const QString& output) {
    const ImageEncoding encoding = outputEncoding(output);
    QByteArray bytes;
    try {
        bytes = ImageCodec::encode(image, encoding);
    } catch (const ImageCodecError&) {
        throw DocumentError::exportFailed(QStringLiteral("Could not encode image"));
    }
    writeBytes(bytes, output);
}

const std::vector<Command>& commands() {
    static const std::vector<Command> list = [] {
        std::vector<Command> l;
        addDocumentCommands(l);
        addCompressCommands(l);
        addPageCommands(l);
        addMarkupCommands(l);
        return l;
    }();
    return list;
}

}  // namespace scrivola::cli
