#pragma once

#include "pdf/PDFContextTypes.h"
#include "pdf/PDFSearch.h"
#include "pdf/SearchResult.h"

#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace scrivola {

class PDFDocumentContext;

// The text search of one PDF tab: the query, its hits, the current hit and the search sidebar.
// Results, selections, the current hit and isSearching() follow the search and are set only
// from inside. Owned by its context.
class PDFSearchSession : public QObject {
    Q_OBJECT
public:
    explicit PDFSearchSession(PDFDocumentContext* context);

    const QString& query() const { return query_; }
    void setQuery(const QString& value) { assign(query_, value); }
    bool isSidebarVisible() const { return isSidebarVisible_; }
    void setSidebarVisible(bool value) { assign(isSidebarVisible_, value); }
    const std::vector<SearchResult>& results() const { return results_; }
    // The hits as selections, for highlighting, in result order; the current one.
    const std::vector<PDFSelection>& allSelections() const { return allSelections_; }
    const std::optional<PDFSelection>& activeSelection() const { return activeSelection_; }
    int currentResultIndex() const { return currentResultIndex_; }
    bool isSearching() const { return isSearching_; }
    std::vector<SearchResultGroup> groupedSearchResults() const { return groupSearchResults(results_); }

    // Text search over the whole document, ignoring case. performSearch() works page by page
    // in short slices on the event loop: it returns at once, hits join results() as they are
    // found (the first becomes current), isSearching() stays true until finished().
    // A new search, clearSearch() and closeSearch() drop a running one; an edit restarts it.
    void performSearch();
    // The same search, finished before returning (tools, tests).
    void performSearchSynchronously();
    // Makes a hit current and goes to its page; out-of-range indices are ignored.
    void navigateToResult(int index);
    // Stepping the current hit wraps around.
    void nextResult();
    void previousResult();
    // Shows the search sidebar in place of the annotations and signature sidebars.
    void openSearch();
    void closeSearch();
    void clearSearch();

signals:
    // The query, the current hit, isSearching() or the sidebar's visibility changed.
    void changed();
    // results() and allSelections() changed (cleared, or hits joined them).
    void resultsChanged();
    void finished();

private:
    template <typename T>
    void assign(T& field, const T& value) {
        if (assignChanged(field, value)) emit changed();
    }
    PDFSearchRunner* runner();
    void beginSearch();
    void appendHits(const std::vector<PDFSelection>& hits);
    void finishSearch();
    void setResults(std::vector<SearchResult> results, std::vector<PDFSelection> selections);
    void setCurrent(int index, std::optional<PDFSelection> selection);
    void setSearching(bool value) { assign(isSearching_, value); }

    PDFDocumentContext* context_;
    PDFSearchRunner* runner_ = nullptr;  // child object, created on first use
    QString query_;
    std::vector<SearchResult> results_;
    std::vector<PDFSelection> allSelections_;
    std::optional<PDFSelection> activeSelection_;
    int currentResultIndex_ = 0;
    bool isSearching_ = false;
    bool isSidebarVisible_ = false;
};

}  // namespace scrivola
