#pragma once

#include "pdf/SearchResult.h"
#include "pdf/engine/PDFEngine.h"
#include "pdf/engine/PDFThreadedSearch.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace scrivola {

// The hits of one page, for the results list headed "Page N".
struct SearchResultGroup {
    int pageIndex = 0;
    std::vector<SearchResult> results;  // in result order
};

// Groups results by page index, each group in result order, groups by ascending page.
std::vector<SearchResultGroup> groupSearchResults(const std::vector<SearchResult>& results);

// Results for hits in engine order: the first page of each hit, its text (the query when the
// engine gives none) and a fresh id. Hits without a page in `document` are dropped.
std::vector<SearchResult> makeSearchResults(const PDFDocument& document, const std::vector<PDFSelection>& hits,
                                            const QString& query);

// Searches a document without freezing the interface. A document without unsaved edits is
// searched by worker threads over copies of its bytes, polled a slice apart; one with unsaved
// edits (which only the live document shows, and the engine's documents are used on the main
// thread only) is searched page by page on the main thread, in slices of a few tens of
// milliseconds between which the event loop runs.
class PDFSearchRunner : public QObject {
    Q_OBJECT
public:
    explicit PDFSearchRunner(QObject* parent = nullptr);
    ~PDFSearchRunner() override;

    // Starts a search for `query` from the first page; a running search is dropped.
    void start(PDFDocumentPtr document, const QString& query);
    void cancel();
    bool isRunning() const { return document_ != nullptr; }
    const QString& query() const { return query_; }
    // Time a slice may take before the event loop gets its turn.
    void setSliceMilliseconds(int ms) { sliceMilliseconds_ = ms; }

    // Every hit of `query` in page order, at once (on worker threads when the document has no
    // unsaved edits). `progress` (if set) is called as pages are done with (pages done, page
    // count).
    static std::vector<PDFSelection> searchAll(const PDFDocument& document, const QString& query,
                                               const std::function<void(int, int)>& progress = {});

signals:
    // Hits of the pages searched in the last slice, in document order.
    void found(const std::vector<PDFSelection>& hits);
    // The last page has been searched (not emitted after cancel()).
    void finished();

private:
    void runSlice();

    QTimer timer_;
    PDFDocumentPtr document_;
    std::unique_ptr<PDFThreadedSearch> threaded_;
    QString query_;
    int nextPage_ = 0;
    quint64 generation_ = 0;  // rises on every start and cancel
    int sliceMilliseconds_ = 30;
};

}  // namespace scrivola
