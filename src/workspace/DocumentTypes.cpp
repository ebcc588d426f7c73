#include "workspace/DocumentTypes.h"

#include <QFileInfo>

namespace scrivola {

QString rawValue(DocumentType type) { return type == DocumentType::pdf ? QStringLiteral("pdf") : QStringLiteral("image"); }

namespace DocumentTypes {

const QList<SupportedContentType>& supportedContentTypes() {
    static const QList<SupportedContentType> types = {
        {"com.adobe.pdf", "application/pdf", {"pdf"}, DocumentType::pdf},
        {"public.png", "image/png", {"png"}, DocumentType::image},
        {"public.jpeg", "image/jpeg", {"jpg", "jpeg", "jpe", "jfif"}, DocumentType::image},
        {"public.tiff", "image/tiff", {"tif", "tiff"}, DocumentType::image},
        {"public.heic", "image/heic", {"heic", "heif", "hif"}, DocumentType::image},
        {"com.compuserve.gif", "image/gif", {"gif"}, DocumentType::image},
        {"com.microsoft.bmp", "image/bmp", {"bmp", "dib"}, DocumentType::image},
        {"org.webmproject.webp", "image/webp", {"webp"}, DocumentType::image},
        {"public.svg-image", "image/svg+xml", {"svg", "svgz"}, DocumentType::image},
        {"public.avif", "image/avif", {"avif"}, DocumentType::image},
    };
    return types;
}

std::optional<DocumentType> from(const QString& url) {
    const QString suffix = QFileInfo(url).suffix().toLower();
    if (suffix.isEmpty()) return std::nullopt;
    for (const auto& type : supportedContentTypes())
        if (type.extensions.contains(suffix)) return type.documentType;
    return std::nullopt;
}

QString openDialogFilter() {
    QStringList patterns;
    for (const auto& type : supportedContentTypes())
        for (const auto& ext : type.extensions) patterns << QStringLiteral("*.") + ext;
    return QStringLiteral("Documents (%1)").arg(patterns.join(' '));
}

}  // namespace DocumentTypes

DocumentError::DocumentError(Kind kind, QString payload) : kind_(kind), payload_(std::move(payload)) {
    what_ = errorDescription().toUtf8();
}

DocumentError DocumentError::fileNotFound(const QString& url) { return {Kind::fileNotFound, url}; }
DocumentError DocumentError::unsupportedFormat(const QString& text) { return {Kind::unsupportedFormat, text}; }
DocumentError DocumentError::loadFailed(const QString& text) { return {Kind::loadFailed, text}; }
DocumentError DocumentError::cannotOpenImage(const QString& path) {
    return loadFailed(QStringLiteral("Could not open image at ") + QFileInfo(path).fileName());
}
DocumentError DocumentError::saveFailed(const QString& text) { return {Kind::saveFailed, text}; }
DocumentError DocumentError::exportFailed(const QString& text) { return {Kind::exportFailed, text}; }
DocumentError DocumentError::passwordProtected() { return {Kind::passwordProtected, {}}; }
DocumentError DocumentError::corruptedFile() { return {Kind::corruptedFile, {}}; }

QString DocumentError::errorDescription() const {
    switch (kind_) {
    case Kind::fileNotFound: return QStringLiteral("File not found: ") + QFileInfo(payload_).fileName();
    case Kind::unsupportedFormat: return QStringLiteral("Unsupported format: ") + payload_;
    case Kind::loadFailed: return QStringLiteral("Failed to load document: ") + payload_;
    case Kind::saveFailed: return QStringLiteral("Failed to save document: ") + payload_;
    case Kind::exportFailed: return QStringLiteral("Failed to export: ") + payload_;
    case Kind::passwordProtected: return QStringLiteral("Document is password protected");
    case Kind::corruptedFile: return QStringLiteral("File appears to be corrupted");
    }
    return {};
}

}  // namespace scrivola
