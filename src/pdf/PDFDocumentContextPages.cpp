// Page editing from a PDF context: which pages an edit applies to, the context's page state
// afterwards, and exporting pages into a new PDF.

#include "pdf/PDFDocumentContext.h"

#include "pdf/PDFEditingService.h"
#include "pdf/engine/PDFSaving.h"

#include <QDir>
#include <QFileInfo>

namespace scrivola {

namespace {

// `path` unless it is the file `protectedFile` (also through links): then the first free
// "<name> 2.<ext>", "<name> 3.<ext>"... beside it.
QString pathNotOverwriting(const QString& path, const QString& protectedFile) {
    if (protectedFile.isEmpty()) return path;
    const QFileInfo source(protectedFile);
    const QFileInfo target(path);
    const QString sourcePath = source.canonicalFilePath();
    const QString targetPath = target.exists() ? target.canonicalFilePath() : target.absoluteFilePath();
    if (sourcePath.isEmpty() || sourcePath != targetPath) return path;
    const QString base = target.completeBaseName();
    const QString suffix = target.suffix().isEmpty() ? QString() : QStringLiteral(".") + target.suffix();
    const QDir dir = target.absoluteDir();
    for (int n = 2;; ++n) {
        const QString candidate = dir.filePath(QStringLiteral("%1 %2%3").arg(base).arg(n).arg(suffix));
        if (!QFileInfo::exists(candidate)) return candidate;
    }
}

}  // namespace

PDFEditingService* PDFDocumentContext::editingService() {
    // Page edits end the editing of a box first, so it lands on its own page.
    textTool_->endInlineEditing();
    if (!editingService_) editingService_ = new PDFEditingService(model_.data(), this, this);
    return editingService_;
}

void PDFDocumentContext::rotatePages(int degrees) {
    editingService()->rotatePages(selectedPages_.empty() ? std::set<int>{currentPage_} : selectedPages_, degrees);
}

void PDFDocumentContext::deletePages(const std::set<int>& indices) {
    const int count = totalPages();
    if (indices.empty() || int(indices.size()) >= count) return;
    editingService()->deletePages(indices);
    if (totalPages() == count) return;  // nothing was deleted
    // The pages still selected keep their selection: their indices move down past the
    // deleted ones.
    std::set<int> selection;
    for (int index : selectedPages_) {
        if (indices.count(index)) continue;
        const int removedBefore = int(std::distance(indices.begin(), indices.lower_bound(index)));
        selection.insert(index - removedBefore);
    }
    setSelectedPages(selection);
    clampCurrentPage();
}

void PDFDocumentContext::movePage(int from, int to) { editingService()->movePage(from, to); }
void PDFDocumentContext::movePages(const std::set<int>& indices, int to) { editingService()->movePages(indices, to); }
void PDFDocumentContext::rotatePages(const std::set<int>& indices, int degrees) {
    editingService()->rotatePages(indices, degrees);
}

void PDFDocumentContext::deleteSelectedPages() {
    if (selectedPages_.empty()) return;
    const std::set<int> pages = selectedPages_;
    const int count = totalPages();
    deletePages(pages);
    if (totalPages() != count) setSelectedPages({});
}

QString PDFDocumentContext::proposedExportName(int firstPageIndex, int pageCount) {
    if (pageCount == 1) return QStringLiteral("Page %1.pdf").arg(firstPageIndex + 1);
    return QStringLiteral("Pages (%1).pdf").arg(pageCount);
}

std::set<int> PDFDocumentContext::exportTargets() const {
    return selectedPages_.empty() ? std::set<int>{currentPage_} : selectedPages_;
}

QString PDFDocumentContext::exportPages(const std::set<int>& indices) {
    textTool_->endInlineEditing();
    PDFDocumentModel* model = model_.data();
    if (!model || !exportPresenter_) return {};
    const PDFDocumentPtr document = model->pdfDocument();
    std::vector<int> pages;
    for (int index : indices)  // ascending
        if (document->page(index)) pages.push_back(index);
    if (pages.empty()) return {};

    const QString directory = model->url().isEmpty() ? QString() : QFileInfo(model->url()).absolutePath();
    const QString chosen = exportPresenter_->chooseExportFile(proposedExportName(pages.front(), int(pages.size())), directory);
    if (chosen.isEmpty()) return {};
    // An export never replaces the open document's own file.
    const QString target = pathNotOverwriting(chosen, model->url());
    const auto fail = [&] {
        emit failureReported(DocumentError::exportFailed(QStringLiteral("Could not write to ") + QFileInfo(target).fileName()).errorDescription());
        return QString();
    };
    try {
        const PDFDocumentPtr copy = PDFSaving::copyPages(*document, pages);
        // Pages of a password-protected document stay protected by the same password.
        PDFWriteOptions options;
        options.userPassword = model->password();
        options.ownerPassword = model->password();
        if (!copy->write(target, options)) return fail();
    } catch (const PDFEngineError&) {
        return fail();
    }
    return target;
}

}  // namespace scrivola
