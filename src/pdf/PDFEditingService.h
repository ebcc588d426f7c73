#pragma once

#include "pdf/PDFDocumentModel.h"
#include "pdf/engine/PDFEngine.h"
#include "workspace/UndoManager.h"

#include <QObject>
#include <QPointer>

#include <set>
#include <utility>
#include <vector>

namespace scrivola {

// Page-level edits of an open PDF: rotating, deleting and moving pages. Every edit registers
// its inverse on the tab's undo manager, and every inverse registers its own, so undo and redo
// work for any mix of edits. Undo records hold the page objects themselves, never an index a
// later edit could shift: an undone deletion puts back the same pages with their annotations.
// Every edit, undo and redo marks the model modified; deletions also mark it as having lost
// content, so that the next save rewrites the whole file.
class PDFEditingService : public QObject {
    Q_OBJECT
public:
    PDFEditingService(PDFDocumentModel* model, UndoManager* undoManager, QObject* parent = nullptr);

    // The document being edited: the model's current document.
    PDFDocumentPtr document() const;
    PDFDocumentModel* model() const { return model_.data(); }
    UndoManager* undoManager() const { return undoManager_.data(); }

    // Adds `degrees` (a multiple of 90, may be negative) to the page's rotation. Nothing
    // happens for an index without a page.
    void rotatePage(int index, int degrees);
    // Removes the pages at `indices` (indices without a page are skipped) as one undo step.
    // Refuses (does nothing) when that would leave the document without pages.
    void deletePages(const std::set<int>& indices);
    // Moves the page at `from` so that it stands before the page that was at `to` (counted
    // before the move; the page count means after the last page).
    void movePage(int from, int to);

signals:
    // After every change of the pages (edit, undo or redo).
    void pagesChanged();

private:
    using Removal = std::vector<std::pair<PDFPagePtr, int>>;  // page and its former index

    void rotate(const PDFDocumentPtr& document, const PDFPagePtr& page, int degrees);
    void remove(const PDFDocumentPtr& document, const std::vector<PDFPagePtr>& pages);
    void restore(const PDFDocumentPtr& document, const Removal& removal);
    void place(const PDFDocumentPtr& document, const PDFPagePtr& page, int index);
    void noteEdit(bool removedContent);

    QPointer<PDFDocumentModel> model_;
    QPointer<UndoManager> undoManager_;
};

}  // namespace scrivola
