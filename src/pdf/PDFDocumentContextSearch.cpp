// Text search of a PDF context: running a query page by page, publishing hits as they come,
// and making a hit current.

#include "pdf/PDFDocumentContext.h"

#include "pdf/PDFSearch.h"

namespace scrivola {

PDFSearchRunner* PDFDocumentContext::searchRunner() {
    if (searchRunner_) return searchRunner_;
    searchRunner_ = new PDFSearchRunner(this);
    connect(searchRunner_, &PDFSearchRunner::found, this, &PDFDocumentContext::appendSearchHits);
    connect(searchRunner_, &PDFSearchRunner::finished, this, &PDFDocumentContext::finishSearch);
    // Pages that move or go while a search runs would shift its page indices: start again.
    connect(this, &PDFDocumentContext::documentRevisionChanged, searchRunner_, [this] {
        if (!searchRunner_->isRunning() || !model_) return;
        const QString query = searchRunner_->query();
        beginSearch();
        searchRunner_->start(model_->pdfDocument(), query);
    });
    return searchRunner_;
}

void PDFDocumentContext::openSearch() {
    setSignatureSidebarVisible(false);
    setAnnotationsSidebarVisible(false);
    setSearchSidebarVisible(true);
}

void PDFDocumentContext::closeSearch() {
    setSearchSidebarVisible(false);
    clearSearch();
}

void PDFDocumentContext::clearSearch() {
    if (searchRunner_) searchRunner_->cancel();
    setSearchQuery(QString());
    setSearchResults({});
    setAllSelections({});
    setActiveSelection(std::nullopt);
    setCurrentResultIndex(0);
    setSearching(false);
}

void PDFDocumentContext::beginSearch() {
    setSearching(true);
    setSearchResults({});
    setAllSelections({});
    setActiveSelection(std::nullopt);
    setCurrentResultIndex(0);
}

void PDFDocumentContext::performSearch() {
    if (searchQuery_.isEmpty() || !model_) {
        clearSearch();
        return;
    }
    PDFSearchRunner* runner = searchRunner();
    runner->cancel();
    beginSearch();
    runner->start(model_->pdfDocument(), searchQuery_);
}

void PDFDocumentContext::performSearchSynchronously() {
    if (searchQuery_.isEmpty() || !model_) {
        clearSearch();
        return;
    }
    if (searchRunner_) searchRunner_->cancel();
    beginSearch();
    appendSearchHits(PDFSearchRunner::searchAll(*model_->pdfDocument(), searchQuery_));
    finishSearch();
}

void PDFDocumentContext::appendSearchHits(const std::vector<PDFSelection>& hits) {
    if (!model_ || hits.empty()) return;
    const QString query = searchRunner_ && searchRunner_->isRunning() ? searchRunner_->query() : searchQuery_;
    const auto results = makeSearchResults(*model_->pdfDocument(), hits, query);
    if (results.empty()) return;
    const bool first = searchResults_.empty();
    std::vector<SearchResult> allResults = searchResults_;
    allResults.insert(allResults.end(), results.begin(), results.end());
    std::vector<PDFSelection> selections = allSelections_;
    for (const SearchResult& result : results) selections.push_back(result.selection);
    setAllSelections(selections);
    setSearchResults(allResults);
    // The first hit is shown as soon as it is found; later hits only join the list.
    if (first) navigateToResult(0);
}

void PDFDocumentContext::finishSearch() {
    setSearching(false);
    emit searchFinished();
}

void PDFDocumentContext::navigateToResult(int index) {
    if (index < 0 || index >= int(searchResults_.size())) return;
    const SearchResult& result = searchResults_[size_t(index)];
    setCurrentResultIndex(index);
    setActiveSelection(result.selection);
    // Go to where the hit's page stands now, should pages have moved since the search.
    int page = result.pageIndex;
    const auto pages = result.selection.pages();
    if (model_ && !pages.empty() && pages.front()) {
        const int now = model_->pdfDocument()->index(*pages.front());
        if (now >= 0) page = now;
    }
    setCurrentPage(page);
}

std::vector<SearchResultGroup> PDFDocumentContext::groupedSearchResults() const {
    return groupSearchResults(searchResults_);
}

}  // namespace scrivola
