#include "PageEditingTestSupport.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFEditingService.h"
#include "pdf/PDFSearch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

QStringList searchPageLines(int pageIndex) {
    switch (pageIndex) {
    case 0: return {QStringLiteral("PDF files and a pdf here"), QStringLiteral("cafe and caf\u00e9")};
    case 1: return {QStringLiteral("nothing to see")};
    case 2: return {QStringLiteral("the words of a ma-"), QStringLiteral("trix are split"), QStringLiteral("Pdf again")};
    default: return {QStringLiteral("page %1 with a pdf").arg(pageIndex + 1)};
    }
}

class PDFSearchTest : public OpenedPdfTest {
protected:
    void open(int pages) { OpenedPdfTest::open(textPdf(pages, searchPageLines)); }
    void SetUp() override { open(4); }

    void search(const QString& query) {
        context->search()->setQuery(query);
        context->search()->performSearchSynchronously();
    }
    // Runs the event loop until the running search finishes.
    void waitForSearch() {
        QElapsedTimer clock;
        clock.start();
        while (context->search()->isSearching() && clock.elapsed() < 20000) QCoreApplication::processEvents();
        ASSERT_FALSE(context->search()->isSearching());
    }
    std::vector<int> resultPages() const {
        std::vector<int> pages;
        for (const auto& result : context->search()->results()) pages.push_back(result.pageIndex);
        return pages;
    }
};

TEST_F(PDFSearchTest, ResultsAreShownAndANewQueryReplacesThem) {
    search(QStringLiteral("PDF"));
    EXPECT_EQ(resultPages(), (std::vector<int>{0, 0, 2, 3}));
    EXPECT_EQ(context->search()->results()[1].text, QStringLiteral("pdf"));
    EXPECT_EQ(context->search()->allSelections().size(), 4u);
    // The first hit is current and shown.
    EXPECT_EQ(context->search()->currentResultIndex(), 0);
    ASSERT_TRUE(context->search()->activeSelection().has_value());
    search(QStringLiteral("matrix"));  // split over two lines by a hyphen
    ASSERT_EQ(context->search()->results().size(), 1u);
    EXPECT_EQ(context->currentPage(), 2);

    for (const QString& query : {QString(), QStringLiteral("nowhere to be found")}) {
        search(query);  // clears the previous results
        EXPECT_TRUE(context->search()->results().empty());
        EXPECT_TRUE(context->search()->allSelections().empty());
        EXPECT_FALSE(context->search()->activeSelection().has_value());
    }
}

TEST_F(PDFSearchTest, SteppingWrapsAroundAndNavigates) {
    search(QStringLiteral("pdf"));
    context->previousResult();
    EXPECT_EQ(context->search()->currentResultIndex(), 3);
    context->search()->navigateToResult(context->search()->currentResultIndex());
    EXPECT_EQ(context->currentPage(), 3);
    context->search()->nextResult();
    EXPECT_EQ(context->search()->currentResultIndex(), 0);
    context->search()->navigateToResult(2);
    EXPECT_EQ(context->currentPage(), 2);
    context->search()->navigateToResult(9);  // ignored
    EXPECT_EQ(context->search()->currentResultIndex(), 2);

    // After a page moved, a hit leads to where its page stands now.
    context->editingService()->movePage(3, 0);
    context->search()->navigateToResult(3);
    EXPECT_EQ(context->currentPage(), 0);
}

TEST_F(PDFSearchTest, GroupsByAscendingPageInResultOrder) {
    std::vector<SearchResult> results;
    for (int page : {5, 1, 5}) results.push_back({QUuid::createUuid(), page, QStringLiteral("x"), {}});
    const auto groups = groupSearchResults(results);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].pageIndex, 1);
    ASSERT_EQ(groups[1].results.size(), 2u);
    EXPECT_EQ(groups[1].results[0].id, results[0].id);
    EXPECT_EQ(groups[1].results[1].id, results[2].id);
}

TEST_F(PDFSearchTest, SidebarOpensExclusivelyAndClosingClears) {
    context->setAnnotationsSidebarVisible(true);
    context->setSignatureSidebarVisible(true);
    context->search()->openSearch();
    EXPECT_TRUE(context->search()->isSidebarVisible());
    EXPECT_FALSE(context->isAnnotationsSidebarVisible());
    EXPECT_FALSE(context->isSignatureSidebarVisible());
    search(QStringLiteral("pdf"));
    context->search()->closeSearch();
    EXPECT_FALSE(context->search()->isSidebarVisible());
    EXPECT_TRUE(context->search()->query().isEmpty());
    EXPECT_TRUE(context->search()->results().empty());
    EXPECT_FALSE(context->search()->activeSelection().has_value());
}

// A long document is searched in slices: the call returns at once, hits arrive while the
// event loop runs, and the outcome equals the synchronous search.
TEST_F(PDFSearchTest, LongDocumentsAreSearchedWithoutBlockingAndRestartedOrCancelled) {
    open(600);
    search(QStringLiteral("pdf"));
    const size_t expected = context->search()->results().size();
    ASSERT_EQ(expected, 2u + 1u + 597u);

    QSignalSpy finished(context->search(), &PDFSearchSession::finished);
    QSignalSpy updates(context->search(), &PDFSearchSession::resultsChanged);
    context->search()->setQuery(QStringLiteral("PDF"));
    context->search()->performSearch();
    EXPECT_TRUE(context->search()->isSearching());
    EXPECT_LT(context->search()->results().size(), expected);
    waitForSearch();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_GE(updates.count(), 2);  // cleared, then filled as hits come
    EXPECT_EQ(context->search()->results().size(), expected);

    // A new query replaces the running search; clearing cancels it.
    context->search()->setQuery(QStringLiteral("pdf"));
    context->search()->performSearch();
    QCoreApplication::processEvents();
    context->search()->setQuery(QStringLiteral("matrix"));
    context->search()->performSearch();
    waitForSearch();
    ASSERT_EQ(context->search()->results().size(), 1u);
    EXPECT_EQ(QString(context->search()->results()[0].text).remove(QLatin1Char('\n')), QStringLiteral("matrix"));

    context->search()->setQuery(QStringLiteral("pdf"));
    context->search()->performSearch();
    QCoreApplication::processEvents();
    context->search()->clearSearch();
    for (int i = 0; i < 50; ++i) QCoreApplication::processEvents();
    EXPECT_TRUE(context->search()->results().empty());
    EXPECT_FALSE(context->search()->isSearching());

    // Edits during a search restart it: every result names the page its hit is on now.
    context->search()->setQuery(QStringLiteral("pdf"));
    context->search()->performSearch();
    ASSERT_TRUE(context->search()->isSearching());
    context->deletePages({0, 2});  // pages with hits go while the search runs
    waitForSearch();
    ASSERT_EQ(context->search()->results().size(), 597u);
    for (const auto& result : context->search()->results())
        EXPECT_EQ(model->pdfDocument()->index(*result.selection.pages().front()), result.pageIndex);
}

}  // namespace
