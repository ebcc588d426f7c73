// Tiles drawn by the workers, cached within a byte budget, and dropped when stale or unwanted.

#include "pdf/PDFRenderScheduler.h"
#include "support/PdfFactory.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class RenderSchedulerTest : public ::testing::Test {
protected:
    PDFRenderScheduler::ListProvider provider() {
        return [this](int page) -> std::shared_ptr<const PDFDisplayList> {
            ++listsTaken;
            const PDFPagePtr p = document->page(page);
            return p ? std::shared_ptr<const PDFDisplayList>(p->displayList()) : nullptr;
        };
    }
    static RenderRequest tile(int page, int x, int y, quint64 revision = 0, quint64 document = 1) {
        return {page, revision, 1.5, QRect(x, y, 256, 256), RenderPriority::visible, document};
    }
    // Waits until `count` pictures were announced.
    static bool waitFor(QSignalSpy& spy, int count) {
        while (spy.count() < count)
            if (!spy.wait(5000)) return false;
        return true;
    }

    PDFDocumentPtr document = PDFDocument::loadFromData(textPdf(3));
    int listsTaken = 0;
};

TEST_F(RenderSchedulerTest, TilesArriveDrawnAsTheEngineDrawsThemAndComeFromTheCacheAfter) {
    PDFRenderScheduler scheduler;
    ASSERT_EQ(scheduler.addDocument(provider()), 1u);
    QSignalSpy rendered(&scheduler, &PDFRenderScheduler::rendered);
    const std::vector<RenderRequest> tiles{tile(0, 0, 0), tile(0, 256, 0), tile(1, 0, 0)};
    for (const RenderRequest& t : tiles) EXPECT_TRUE(scheduler.request(t).isNull());
    for (const RenderRequest& t : tiles) EXPECT_TRUE(scheduler.request(t).isNull());  // queued once
    ASSERT_TRUE(waitFor(rendered, 3));
    EXPECT_EQ(listsTaken, 2);  // one list per page, taken on this thread
    const auto list = document->page(0)->displayList();
    EXPECT_EQ(scheduler.request(tiles[1]), list->renderArea(1.5, QRect(256, 0, 256, 256)));
    EXPECT_EQ(scheduler.cachedBytes(), 3 * 256 * 256 * 4);
    QCoreApplication::processEvents();
    EXPECT_EQ(rendered.count(), 3);  // nothing drawn twice
}

TEST_F(RenderSchedulerTest, StaleAndUnwantedWorkNeverArrivesAndTheCacheKeepsItsBudget) {
    PDFRenderScheduler scheduler(2, 3 * 256 * 256 * 4);
    const auto first = scheduler.addDocument(provider());
    const auto second = scheduler.addDocument(provider());
    QSignalSpy rendered(&scheduler, &PDFRenderScheduler::rendered);
    for (int y = 0; y < 1024; y += 256) scheduler.request(tile(0, 0, y, 0, first));
    scheduler.request(tile(0, 0, 0, 0, second));
    // Results come back through the event loop, which has not run yet: they are all dropped,
    // but the other document's work goes on.
    scheduler.cancelExcept(first, {tile(0, 0, 512)});
    EXPECT_EQ(scheduler.pendingCount(), 2);
    ASSERT_TRUE(waitFor(rendered, 2));
    scheduler.removeDocument(second);
    EXPECT_TRUE(scheduler.cached(tile(0, 0, 0, 0, second)).isNull());
    EXPECT_EQ(scheduler.cachedBytes(), 256 * 256 * 4);
    rendered.clear();

    // An edit: the queued tile is for the old document; the drawn one stands in for its successor.
    scheduler.request(tile(1, 0, 0));
    scheduler.setRevision(first, 1);
    EXPECT_TRUE(scheduler.cached(tile(0, 0, 512)).isNull());
    EXPECT_FALSE(scheduler.placeholder(tile(0, 0, 512, 1)).isNull());
    EXPECT_TRUE(scheduler.request(tile(1, 0, 0)).isNull());  // old revision: refused
    for (int x = 0; x < 768; x += 256) scheduler.request(tile(2, x, 0, 1));
    ASSERT_TRUE(waitFor(rendered, 3));
    QCoreApplication::processEvents();
    EXPECT_EQ(rendered.count(), 3);
    EXPECT_EQ(scheduler.cachedBytes(), 3 * 256 * 256 * 4);  // the least recently used went
    EXPECT_TRUE(scheduler.placeholder(tile(0, 0, 512, 1)).isNull());
    int kept = 0;
    for (int x = 0; x < 768; x += 256) kept += scheduler.cached(tile(2, x, 0, 1)).isNull() ? 0 : 1;
    EXPECT_EQ(kept, 3);
}

}  // namespace
