#pragma once

#include "pdf/engine/PDFEngine.h"
#include "workspace/DocumentContent.h"

#include <QString>

namespace scrivola {

// Owns one open PDF: the engine document, the file it came from and whether it has unsaved
// changes. It knows nothing of views, selection or undo.
class PDFDocumentModel : public DocumentContent {
    Q_OBJECT
public:
    // Opens the PDF at `url`. Throws DocumentError: fileNotFound when nothing exists at the path,
    // passwordProtected when the file needs a password to open, corruptedFile when the engine
    // finds it damaged beyond repair, loadFailed for anything else it cannot open (not a PDF,
    // unreadable, a folder or a special file).
    explicit PDFDocumentModel(const QString& url, QObject* parent = nullptr);
    // The same, reading the file as `reading` says (see PDFDocument::load).
    PDFDocumentModel(const QString& url, PDFReading reading, QObject* parent = nullptr);
    // Opens a PDF that may need a password: `password` unlocks it; a wrong one throws
    // passwordProtected. Saves keep the file encrypted, readable with the same password.
    PDFDocumentModel(const QString& url, const QString& password, QObject* parent = nullptr);
    // Adopts an engine document already in memory (tools, tests, derived documents); `url` may
    // be empty. A null document is replaced by an empty one.
    PDFDocumentModel(PDFDocumentPtr document, const QString& url = {}, QObject* parent = nullptr);
    ~PDFDocumentModel() override;

    const PDFDocumentPtr& pdfDocument() const { return pdfDocument_; }
    // The password the document was opened with; empty when it needed none. Files derived from
    // the document (exported pages) are protected with it too.
    const QString& password() const { return password_; }
    // Replaces the document (a null document is ignored). Views show the new one and fit anew.
    void setPdfDocument(PDFDocumentPtr document);

    QString url() const override { return url_; }
    DocumentType documentType() const override { return DocumentType::pdf; }
    bool isModified() const override { return isModified_; }
    void setModified(bool modified);
    // True once an edit removed content from the document (a deleted page, a whiteout): saves
    // then rewrite the whole file and drop what nothing uses, instead of appending an update to
    // the original bytes, which would keep the removed content in the file. It stays set while
    // this document is open, as those bytes remain the base of any later update.
    bool requiresFullRewrite() const { return requiresFullRewrite_; }
    void markContentRemoved() { requiresFullRewrite_ = true; }
    // The file name without its last extension; "Untitled" without a file.
    QString displayName() const override;

    // Writes to url(); saveFailed("No file URL set") without one.
    void save() override;
    // Writes the whole document to `url` through a temporary file renamed over the target. On
    // success the model takes `url` as its file and is no longer modified; on failure it throws
    // saveFailed("Could not write to <file name>") and the model and the target stay unchanged.
    void save(const QString& url) override;

signals:
    void documentChanged();

private:
    PDFDocumentPtr pdfDocument_;
    QString url_;
    QString password_;
    bool isModified_ = false;
    bool requiresFullRewrite_ = false;
};

}  // namespace scrivola
