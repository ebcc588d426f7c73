#include "pdf/PDFDocumentModel.h"

#include "annotation/TextBoxRestoration.h"

#include "pdf/engine/PDFSaving.h"

#include <QDir>
#include <QFileInfo>

namespace scrivola {

namespace {

QString fileNameOf(const QString& path) { return QFileInfo(path).fileName(); }

QString normalisedPath(const QString& path) {
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

PDFDocumentPtr loadDocument(const QString& path, PDFReading reading, const QString& password = {}) {
    const QFileInfo info(path);
    // The existence test comes before any read. A dangling link counts as missing.
    if (!info.exists()) throw DocumentError::fileNotFound(path);

    const DocumentError cannotOpen = DocumentError::loadFailed(QStringLiteral("Could not open PDF at ") + info.fileName());
    // Folders, pipes and devices are never handed to the engine: reading a pipe or a device
    // could block or never end.
    if (!info.isFile() || !info.isReadable()) throw cannotOpen;
    try {
        PDFDocumentPtr document = PDFDocument::load(path, password, reading);
        if (!document) throw cannotOpen;
        return document;
    } catch (const PDFEngineError& error) {
        switch (error.kind()) {
        case PDFEngineError::Kind::passwordProtected: throw DocumentError::passwordProtected();
        case PDFEngineError::Kind::corruptedFile: throw DocumentError::corruptedFile();
        default: throw cannotOpen;
        }
    } catch (const DocumentError&) {
        throw;
    } catch (const std::exception&) {
        throw cannotOpen;
    }
}

// Appends the changes to the original bytes when the document allows it and lost no content,
// otherwise rewrites the whole file; either way through a temporary file beside the target
// renamed over it, so a save over the document's own file never reads a half-written file.
bool writeDocument(const PDFDocument& document, const QString& path, bool contentRemoved) {
    try {
        return PDFSaving::writeDocument(document, path, contentRemoved);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

PDFDocumentModel::PDFDocumentModel(const QString& url, QObject* parent)
    : PDFDocumentModel(url, PDFReading::copyIntoMemory, parent) {}

PDFDocumentModel::PDFDocumentModel(const QString& url, PDFReading reading, QObject* parent)
    : DocumentContent(parent), pdfDocument_(loadDocument(url, reading)), url_(normalisedPath(url)) {
    // The system's own free-text annotations become text boxes again, page by page as pages
    // are used: opening visits no page.
    restoreTextBoxesOnFirstUse(*pdfDocument_);
}

PDFDocumentModel::PDFDocumentModel(const QString& url, const QString& password, QObject* parent)
    : DocumentContent(parent),
      pdfDocument_(loadDocument(url, PDFReading::copyIntoMemory, password)),
      url_(normalisedPath(url)),
      password_(pdfDocument_->needsPassword() ? password : QString()) {
    restoreTextBoxesOnFirstUse(*pdfDocument_);
}

PDFDocumentModel::PDFDocumentModel(PDFDocumentPtr document, const QString& url, QObject* parent)
    : DocumentContent(parent),
      pdfDocument_(document ? std::move(document) : PDFDocument::createEmpty()),
      url_(normalisedPath(url)) {}

PDFDocumentModel::~PDFDocumentModel() = default;

void PDFDocumentModel::setPdfDocument(PDFDocumentPtr document) {
    if (!document || document == pdfDocument_) return;
    pdfDocument_ = std::move(document);
    requiresFullRewrite_ = false;  // the new document's own bytes are the base of updates
    emit documentChanged();
    emit contentChanged();
}

void PDFDocumentModel::setModified(bool modified) {
    if (isModified_ == modified) return;
    isModified_ = modified;
    emit modifiedChanged(isModified_);
}

QString PDFDocumentModel::displayName() const {
    if (url_.isEmpty()) return QStringLiteral("Untitled");
    const QString name = fileNameOf(url_);
    // Only the last extension goes; a leading dot (".hidden") does not start an extension.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

void PDFDocumentModel::save() {
    if (url_.isEmpty()) throw DocumentError::saveFailed(QStringLiteral("No file URL set"));
    save(url_);
}

void PDFDocumentModel::save(const QString& url) {
    if (url.isEmpty()) throw DocumentError::saveFailed(QStringLiteral("No file URL set"));
    if (!writeDocument(*pdfDocument_, url, requiresFullRewrite_)) throw DocumentError::saveFailed(QStringLiteral("Could not write to ") + fileNameOf(url));

    const QString target = normalisedPath(url);
    if (target != url_) {
        url_ = target;
        emit urlChanged();
    }
    setModified(false);
}

}  // namespace scrivola
