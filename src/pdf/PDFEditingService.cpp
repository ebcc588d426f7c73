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

void PDFEditingService::movePages(const std::set<int>& indices, int to) {
    const PDFDocumentPtr doc = document();
    if (!doc || !context_) return;
    const int count = doc->pageCount();
    std::set<int> moved;
    for (int index : indices)
        if (index >= 0 && index < count) moved.insert(index);
    if (moved.empty() || to < 0 || to > count) return;
    if (moved.size() == 1) return movePage(*moved.begin(), to);
    Pages pages;
    for (int index : moved) pages.push_back(doc->page(index));
    // The block lands after the pages that stay and stood before `to`.
    const int destination = to - int(std::distance(moved.begin(), moved.lower_bound(to)));
    std::vector<int> from(moved.begin(), moved.end());
    std::vector<int> block(pages.size());
    for (size_t k = 0; k < block.size(); ++k) block[k] = destination + int(k);
    // Nothing to do when the block already stands there, in one piece.
    if (from == block) return;
    const auto place = [doc, pages](const std::vector<int>& targets) {
        removePages(*doc, pages);
        // Ascending targets: each insertion leaves the ones before it in place.
        for (size_t k = 0; k < pages.size(); ++k) doc->insertPage(pages[k], std::min(targets[k], doc->pageCount()));
        return true;
    };
    context_->commitEdit(QStringLiteral("Move Pages"), [place, block] { return place(block); },
                         [place, from] { return place(from); });
}

}  // namespace scrivola
