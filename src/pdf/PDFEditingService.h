#pragma once

#include "pdf/PDFDocumentModel.h"
#include "pdf/engine/PDFEngine.h"
#include "workspace/DocumentContent.h"

#include <QObject>
#include <QPointer>

#include <set>

namespace scrivola {

// Page-level edits of an open PDF: rotating, deleting and moving pages. Every edit goes through
// the tab context's commitEdit(), so it is one named undo step and undo and redo work for any mix
// of edits. Undo records hold the page objects themselves, never an index a later edit could
// shift: an undone deletion puts back the same pages with their annotations. Deletions also mark
// the model as having lost content, so that the next save rewrites the whole file.
class PDFEditingService : public QObject {
    Q_OBJECT
public:
    PDFEditingService(PDFDocumentModel* model, DocumentContext* context, QObject* parent = nullptr);

    // The document being edited: the model's current document.
    PDFDocumentPtr document() const;
    PDFDocumentModel* model() const { return model_.data(); }

    // Adds `degrees` (a multiple of 90, may be negative) to the rotation of each page at
    // `indices` as one undo step; indices without a page are skipped.
    void rotatePages(const std::set<int>& indices, int degrees);
    void rotatePage(int index, int degrees) { rotatePages({index}, degrees); }
    // Removes the pages at `indices` (indices without a page are skipped) as one undo step.
    // Refuses (does nothing) when that would leave the document without pages.
    void deletePages(const std::set<int>& indices);
    // Moves the page at `from` so that it stands before the page that was at `to` (counted
    // before the move; the page count means after the last page).
    void movePage(int from, int to);
    // Moves the pages at `indices` together, in their order, so that they stand before the first
    // page at or after `to` that is not among them (the page count means after the last page),
    // as one undo step. A move that would leave every page where it is records nothing.
    void movePages(const std::set<int>& indices, int to);

private:
    QPointer<PDFDocumentModel> model_;
    QPointer<DocumentContext> context_;
};

}  // namespace scrivola
