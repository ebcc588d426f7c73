#include "pdf/PDFEditingService.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace scrivola {

namespace {

using Pages = std::vector<PDFPagePtr>;
using Removal = std::vector<std::pair<PDFPagePtr, int>>;  // page and its former index

// Removes the pages still in the document, highest index first so that removing one never
// shifts one still to be removed; returns where they were.
Removal removePages(PDFDocument& document, const Pages& pages) {
    Removal removal;
    for (const PDFPagePtr& page : pages)
        if (const int index = document.index(*page); index >= 0) removal.emplace_back(page, index);
    std::sort(removal.begin(), removal.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [page, index] : removal) document.removePage(index);
    return removal;
}

// Puts removed pages back, lowest former index first, so every page lands where it was.
bool restorePages(PDFDocument& document, const Removal& removal) {
    for (auto it = removal.rbegin(); it != removal.rend(); ++it)
        document.insertPage(it->first, std::min(it->second, document.pageCount()));
    return !removal.empty();
}

// Moves `page` to `index`; false when it is not in the document or already there.
bool placePage(PDFDocument& document, const PDFPagePtr& page, int index) {
    const int current = document.index(*page);
    if (current < 0 || current == index) return false;
    document.removePage(current);
    document.insertPage(page, std::min(index, document.pageCount()));
    return true;
}

}  // namespace

PDFEditingService::PDFEditingService(PDFDocumentModel* model, DocumentContext* context, QObject* parent)
    : QObject(parent), model_(model), context_(context) {}

PDFDocumentPtr PDFEditingService::document() const {
    // Always the document the model shows now, so edits never go to a replaced document.
    return model_ ? model_->pdfDocument() : nullptr;
}

void PDFEditingService::rotatePages(const std::set<int>& indices, int degrees) {
    const PDFDocumentPtr doc = document();
    if (!doc || !context_) return;
    Pages pages;
    for (int index : indices)
        if (PDFPagePtr page = doc->page(index)) pages.push_back(std::move(page));
    if (pages.empty()) return;
    const auto rotate = [pages](int by) {
        return [pages, by] {
            for (const PDFPagePtr& page : pages) page->setRotation(page->rotation() + by);
            return true;
        };
    };
    context_->commitEdit(pages.size() == 1 ? QStringLiteral("Rotate Page") : QStringLiteral("Rotate Pages"),
                         rotate(degrees), rotate(-degrees));
}

void PDFEditingService::deletePages(const std::set<int>& indices) {
    const PDFDocumentPtr doc = document();
    if (!doc || !context_ || indices.empty()) return;
    Pages pages;
    for (int index : indices)
        if (PDFPagePtr page = doc->page(index)) pages.push_back(std::move(page));
    // The last page of a document can never be deleted.
    if (pages.empty() || int(pages.size()) >= doc->pageCount()) return;
    // Redo removes exactly these pages again, wherever they stand by then; undo puts them back
    // where the last removal found them.
    auto removal = std::make_shared<Removal>();
    const auto remove = [doc, pages, removal, model = model_] {
        *removal = removePages(*doc, pages);
        if (model) model->markContentRemoved();
        return !removal->empty();
    };
    const auto restore = [doc, removal] { return restorePages(*doc, *removal); };
    context_->commitEdit(pages.size() == 1 ? QStringLiteral("Delete Page") : QStringLiteral("Delete Pages"), remove,
                         restore);
}

void PDFEditingService::movePage(int from, int to) {
    const PDFDocumentPtr doc = document();
    if (!doc || !context_) return;
    const int count = doc->pageCount();
    if (from < 0 || from == to || from >= count || to < 0) return;
    const PDFPagePtr page = doc->page(from);
    if (!page) return;
    const int destination = std::min(from < to ? to - 1 : to, count - 1);
    context_->commitEdit(QStringLiteral("Move Page"), [doc, page, destination] { return placePage(*doc, page, destination); },
                         [doc, page, from] { return placePage(*doc, page, from); });
}

}  // namespace scrivola
