#pragma once

#include <QString>
#include <QStringList>
#include <exception>
#include <optional>

namespace scrivola {

// Whether a file opens as a PDF or as an image. Classification looks only at the extension.
enum class DocumentType { pdf, image };

QString rawValue(DocumentType type);

struct SupportedContentType {
    QString identifier;   // e.g. "com.adobe.pdf", "public.avif"
    QString mimeType;     // e.g. "application/pdf", "image/avif"
    QStringList extensions;
    DocumentType documentType;
};

namespace DocumentTypes {
// The ten supported file types in open-dialog order: PDF, PNG, JPEG, TIFF, HEIC, GIF, BMP, WebP, SVG, AVIF.
const QList<SupportedContentType>& supportedContentTypes();
// Type of a file location by its extension only (case-insensitive); the file is never read.
std::optional<DocumentType> from(const QString& url);
// Name filter for file dialogs, e.g. "Documents (*.pdf *.png ...)".
QString openDialogFilter();
}  // namespace DocumentTypes

// The one error of opening, saving and exporting documents, with fixed user-facing messages.
class DocumentError : public std::exception {
public:
    enum class Kind { fileNotFound, unsupportedFormat, loadFailed, saveFailed, exportFailed, passwordProtected, corruptedFile };

    static DocumentError fileNotFound(const QString& url);
    static DocumentError unsupportedFormat(const QString& text);
    static DocumentError loadFailed(const QString& text);
    // loadFailed("Could not open image at <file name>").
    static DocumentError cannotOpenImage(const QString& path);
    static DocumentError saveFailed(const QString& text);
    static DocumentError exportFailed(const QString& text);
    static DocumentError passwordProtected();
    static DocumentError corruptedFile();

    Kind kind() const { return kind_; }
    // The URL for fileNotFound, the text for the text cases, empty otherwise.
    const QString& payload() const { return payload_; }
    QString errorDescription() const;
    const char* what() const noexcept override { return what_.constData(); }

    bool operator==(const DocumentError& other) const { return kind_ == other.kind_ && payload_ == other.payload_; }

private:
    DocumentError(Kind kind, QString payload);
    Kind kind_;
    QString payload_;
    QByteArray what_;
};

}  // namespace scrivola
