#include "pdf/PDFSearch.h"

#include <QElapsedTimer>

#include <iterator>

#include <map>

namespace scrivola {

std::vector<SearchResultGroup> groupSearchResults(const std::vector<SearchResult>& results) {
    std::map<int, std::vector<SearchResult>> byPage;
    for (const SearchResult& result : results) byPage[result.pageIndex].push_back(result);
    std::vector<SearchResultGroup> groups;
    groups.reserve(byPage.size());
    for (auto& [page, list] : byPage) groups.push_back({page, std::move(list)});
    return groups;
}

std::vector<SearchResult> makeSearchResults(const PDFDocument& document, const std::vector<PDFSelection>& hits,
                                            const QString& query) {
    std::vector<SearchResult> results;
    results.reserve(hits.size());
    for (const PDFSelection& hit : hits) {
        const auto pages = hit.pages();
        if (pages.empty() || !pages.front()) continue;
        const int index = document.index(*pages.front());
        if (index < 0) continue;
        const QString text = hit.string();
        results.push_back({QUuid::createUuid(), index, text.isEmpty() ? query : text, hit});
    }
    return results;
}

PDFSearchRunner::PDFSearchRunner(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &PDFSearchRunner::runSlice);
}

PDFSearchRunner::~PDFSearchRunner() = default;

void PDFSearchRunner::start(PDFDocumentPtr document, const QString& query) {
    cancel();
    if (!document || query.isEmpty()) return;
    document_ = std::move(document);
    query_ = query;
    nextPage_ = 0;
    threaded_ = PDFThreadedSearch::start(*document_, query_);
    timer_.start(0);
}

void PDFSearchRunner::cancel() {
    ++generation_;
    timer_.stop();
    threaded_.reset();
    document_.reset();
    nextPage_ = 0;
}

void PDFSearchRunner::runSlice() {
    if (!document_) return;
    // Keep the document alive through the slice even if a slot restarts or cancels the search.
    const PDFDocumentPtr document = document_;
    const quint64 generation = generation_;
    QElapsedTimer clock;
    clock.start();
    std::vector<PDFSelection> hits;
    bool done = false;
    if (threaded_) {
        // Workers search copies of the document; take what they have finished.
        hits = threaded_->takeFinished(*document);
        done = threaded_->isDone();
    } else {
        const int count = document->pageCount();
        // At least one page a slice, however short the slice.
        do {
            if (nextPage_ >= count) break;
            auto pageHits = document->findString(query_, nextPage_++);
            for (auto& hit : pageHits) hits.push_back(std::move(hit));
        } while (clock.elapsed() < sliceMilliseconds_);
        done = nextPage_ >= count;
    }
    if (!hits.empty()) emit found(hits);
    // A slot may have cancelled or restarted the search meanwhile.
    if (generation_ != generation) return;
    if (done) {
        threaded_.reset();
        document_.reset();
        emit finished();
    } else {
        // Workers are polled a slice apart, so their hits arrive in batches.
        timer_.start(threaded_ ? sliceMilliseconds_ : 0);
    }
}

std::vector<PDFSelection> PDFSearchRunner::searchAll(const PDFDocument& document, const QString& query,
                                                     const std::function<void(int, int)>& progress) {
    std::vector<PDFSelection> hits;
    if (query.isEmpty()) return hits;
    const int count = document.pageCount();
    if (auto threaded = PDFThreadedSearch::start(document, query)) {
        while (!threaded->isDone()) {
            auto more = threaded->takeFinished(document, 100);
            std::move(more.begin(), more.end(), std::back_inserter(hits));
            if (progress) progress(threaded->pagesTaken(), count);
        }
        return hits;
    }
    for (int i = 0; i < count; ++i) {
        auto pageHits = document.findString(query, i);
        for (auto& hit : pageHits) hits.push_back(std::move(hit));
        if (progress) progress(i + 1, count);
    }
    return hits;
}

}  // namespace scrivola
