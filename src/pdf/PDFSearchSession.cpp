// Text search of a PDF tab: running a query page by page, publishing hits as they come, and
// making a hit current.

#include "pdf/PDFSearchSession.h"

#include "pdf/PDFDocumentContext.h"

namespace scrivola {

PDFSearchSession::PDFSearchSession(PDFDocumentContext* context) : QObject(context), context_(context) {}

void PDFSearchSession::setResults(std::vector<SearchResult> results, std::vector<PDFSelection> selections) {
    results_ = std::move(results);
    allSelections_ = std::move(selections);
    emit resultsChanged();
}

void PDFSearchSession::setCurrent(int index, std::optional<PDFSelection> selection) {
    currentResultIndex_ = index;
    activeSelection_ = std::move(selection);
    emit changed();
}

PDFSearchRunner* PDFSearchSession::runner() {
    if (runner_) return runner_;
    runner_ = new PDFSearchRunner(this);
    connect(runner_, &PDFSearchRunner::found, this, &PDFSearchSession::appendHits);
    connect(runner_, &PDFSearchRunner::finished, this, &PDFSearchSession::finishSearch);
    // Pages that move or go while a search runs would shift its page indices: start again.
    connect(context_, &DocumentContext::documentRevisionChanged, runner_, [this] {
        if (!runner_->isRunning() || !context_->model()) return;
        const QString query = runner_->query();
        beginSearch();
        runner_->start(context_->model()->pdfDocument(), query);
    });
    return runner_;
}

void PDFSearchSession::openSearch() {
    context_->setSignatureSidebarVisible(false);
    context_->setAnnotationsSidebarVisible(false);
    setSidebarVisible(true);
}

void PDFSearchSession::closeSearch() {
    setSidebarVisible(false);
    clearSearch();
}

void PDFSearchSession::clearSearch() {
    if (runner_) runner_->cancel();
    setQuery(QString());
    setResults({}, {});
    setCurrent(0, std::nullopt);
    setSearching(false);
}

void PDFSearchSession::beginSearch() {
    setSearching(true);
    setResults({}, {});
    setCurrent(0, std::nullopt);
}

void PDFSearchSession::performSearch() {
    if (query_.isEmpty() || !context_->model()) {
        clearSearch();
        return;
    }
    PDFSearchRunner* search = runner();
    search->cancel();
    beginSearch();
    search->start(context_->model()->pdfDocument(), query_);
}

void PDFSearchSession::performSearchSynchronously() {
    if (query_.isEmpty() || !context_->model()) {
        clearSearch();
        return;
    }
    if (runner_) runner_->cancel();
    beginSearch();
    appendHits(PDFSearchRunner::searchAll(*context_->model()->pdfDocument(), query_));
    finishSearch();
}

void PDFSearchSession::appendHits(const std::vector<PDFSelection>& hits) {
    const PDFDocumentModel* model = context_->model();
    if (!model || hits.empty()) return;
    const QString query = runner_ && runner_->isRunning() ? runner_->query() : query_;
    const auto found = makeSearchResults(*model->pdfDocument(), hits, query);
    if (found.empty()) return;
    const bool first = results_.empty();
    std::vector<SearchResult> results = results_;
    results.insert(results.end(), found.begin(), found.end());
    std::vector<PDFSelection> selections = allSelections_;
    for (const SearchResult& result : found) selections.push_back(result.selection);
    setResults(std::move(results), std::move(selections));
    // The first hit is shown as soon as it is found; later hits only join the list.
    if (first) navigateToResult(0);
}

void PDFSearchSession::finishSearch() {
    setSearching(false);
    emit finished();
}

void PDFSearchSession::navigateToResult(int index) {
    if (index < 0 || index >= int(results_.size())) return;
    const SearchResult& result = results_[size_t(index)];
    setCurrent(index, result.selection);
    // Go to where the hit's page stands now, should pages have moved since the search.
    int page = result.pageIndex;
    const auto pages = result.selection.pages();
    if (context_->model() && !pages.empty() && pages.front()) {
        const int now = context_->model()->pdfDocument()->index(*pages.front());
        if (now >= 0) page = now;
    }
    context_->setCurrentPage(page);
}

void PDFSearchSession::nextResult() {
    const int count = int(results_.size());
    if (count == 0) return;
    setCurrent((currentResultIndex_ + 1) % count, activeSelection_);
}

void PDFSearchSession::previousResult() {
    const int count = int(results_.size());
    if (count == 0) return;
    setCurrent((currentResultIndex_ - 1 + count) % count, activeSelection_);
}

}  // namespace scrivola
