#include "pdf/PDFEditingService.h"

#include <algorithm>

namespace scrivola {

PDFEditingService::PDFEditingService(PDFDocumentModel* model, UndoManager* undoManager, QObject* parent)
    : QObject(parent), model_(model), undoManager_(undoManager) {}

PDFDocumentPtr PDFEditingService::document() const {
    // Always the document the model shows now, so edits never go to a replaced document.
    return model_ ? model_->pdfDocument() : nullptr;
}

void PDFEditingService::noteEdit(bool removedContent) {
    if (PDFDocumentModel* model = model_.data()) {
        if (removedContent) model->markContentRemoved();
        model->setModified(true);
    }
    emit pagesChanged();
}

// ---- rotation ------------------------------------------------------------------------------

void PDFEditingService::rotatePage(int index, int degrees) {
    const PDFDocumentPtr doc = document();
    const PDFPagePtr page = doc ? doc->page(index) : nullptr;
    if (!page) return;
    rotate(doc, page, degrees);
}

void PDFEditingService::rotate(const PDFDocumentPtr& document, const PDFPagePtr& page, int degrees) {
    page->setRotation(page->rotation() + degrees);
    noteEdit(false);
    if (UndoManager* undo = undoManager_.data())
        undo->registerUndo([this, document, page, degrees] { rotate(document, page, -degrees); });
}

// ---- deletion ------------------------------------------------------------------------------

void PDFEditingService::deletePages(const std::set<int>& indices) {
    const PDFDocumentPtr doc = document();
    if (!doc || indices.empty()) return;
    std::vector<PDFPagePtr> pages;
    for (int index : indices)
        if (PDFPagePtr page = doc->page(index)) pages.push_back(std::move(page));
    // The last page of a document can never be deleted.
    if (pages.empty() || int(pages.size()) >= doc->pageCount()) return;
    remove(doc, pages);
}

void PDFEditingService::remove(const PDFDocumentPtr& document, const std::vector<PDFPagePtr>& pages) {
    Removal removal;
    for (const PDFPagePtr& page : pages) {
        const int index = document->index(*page);
        if (index >= 0) removal.emplace_back(page, index);
    }
    if (removal.empty()) return;
    // Highest index first, so removing a page never shifts one still to be removed.
    std::sort(removal.begin(), removal.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    UndoManager* undo = undoManager_.data();
    if (undo) undo->beginUndoGrouping();
    for (const auto& [page, index] : removal) document->removePage(index);
    noteEdit(true);
    if (undo) {
        undo->registerUndo([this, document, removal] { restore(document, removal); });
        undo->endUndoGrouping();
    }
}

void PDFEditingService::restore(const PDFDocumentPtr& document, const Removal& removal) {
    UndoManager* undo = undoManager_.data();
    if (undo) undo->beginUndoGrouping();
    std::vector<PDFPagePtr> pages;
    // Lowest former index first, so every page lands where it was.
    for (auto it = removal.rbegin(); it != removal.rend(); ++it) {
        document->insertPage(it->first, std::min(it->second, document->pageCount()));
        pages.push_back(it->first);
    }
    noteEdit(false);
    if (undo) {
        // Redo removes exactly these pages again, wherever they stand by then.
        undo->registerUndo([this, document, pages] { remove(document, pages); });
        undo->endUndoGrouping();
    }
}

// ---- moving --------------------------------------------------------------------------------

void PDFEditingService::movePage(int from, int to) {
    const PDFDocumentPtr doc = document();
    if (!doc) return;
    const int count = doc->pageCount();
    if (from < 0 || from == to || from >= count || to < 0) return;
    const PDFPagePtr page = doc->page(from);
    if (!page) return;
    const int destination = from < to ? to - 1 : to;
    place(doc, page, std::min(destination, count - 1));
}

void PDFEditingService::place(const PDFDocumentPtr& document, const PDFPagePtr& page, int index) {
    const int current = document->index(*page);
    if (current < 0) return;
    if (current == index) return;
    document->removePage(current);
    document->insertPage(page, std::min(index, document->pageCount()));
    noteEdit(false);
    if (UndoManager* undo = undoManager_.data())
        undo->registerUndo([this, document, page, current] { place(document, page, current); });
}

}  // namespace scrivola
