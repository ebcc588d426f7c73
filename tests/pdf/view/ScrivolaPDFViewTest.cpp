// The page view: what it paints, where pages lie, and its page and zoom controls.

#include "pdf/view/ScrivolaPDFView.h"
#include "support/Files.h"
#include "support/PdfFactory.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// Shows the view and lets the scheduler draw what is in view.
QImage settle(ScrivolaPDFView& view) {
    for (int round = 0; round < 200; ++round) {
        QCoreApplication::processEvents();
        view.viewport()->repaint();
        if (view.scheduler()->pendingCount() == 0) break;
        QTest::qWait(10);
    }
    return view.viewport()->grab().toImage();
}

TEST(ScrivolaPDFView, PaintsTheTextWherePageSpaceSaysAndFollowsPagesAndZoom) {
    ScrivolaPDFView view;
    view.resize(800, 600);
    view.show();
    view.setDocument(PDFDocument::loadFromData(textPdf(30)));
    const QImage shown = settle(view);

    // The first line's baseline at (72, 720) on page 1: text ink just above it, none below the page's text.
    const QPointF baseline = view.convertFromPage(QPointF(72, 720), 0);
    const QRect lineArea = QRectF(baseline + QPointF(0, -12), QSizeF(200, 12)).toRect();
    EXPECT_FALSE(inkBounds(shown, lineArea).isEmpty());
    EXPECT_TRUE(inkBounds(shown, QRect(baseline.toPoint() + QPoint(0, 100), QSize(300, 100))).isEmpty());
    const QPointF back = view.convertToPage(baseline, 0);
    EXPECT_NEAR(back.x(), 72, 1e-6);
    EXPECT_NEAR(back.y(), 720, 1e-6);
    EXPECT_EQ(view.pageIndexAt(baseline, false), 0);
    EXPECT_EQ(view.currentPage(), 0);

    EXPECT_EQ(view.pageIndicatorText(), "Page 1 of 30");
    QSignalSpy pages(&view, &ScrivolaPDFView::currentPageChanged);
    view.goToPage(20);
    EXPECT_EQ(view.currentPage(), 20);
    EXPECT_EQ(view.pageIndicatorText(), "Page 21 of 30");
    EXPECT_EQ(pages.count(), 1);
    const QImage page21 = settle(view);
    EXPECT_FALSE(inkBounds(page21, QRectF(view.convertFromPage(QPointF(72, 720), 20) + QPointF(0, -12), QSizeF(200, 12)).toRect())
                     .isEmpty());

    // Right after a zoom, before any new tile is drawn, the tiles of the old scale stand in.
    view.setScaleFactor(1.5);
    const QImage placeholder = view.viewport()->grab().toImage();
    EXPECT_FALSE(inkBounds(placeholder, QRectF(view.convertFromPage(QPointF(72, 720), 20) + QPointF(0, -18), QSizeF(300, 18)).toRect())
                     .isEmpty());

    view.setScaleFactor(50);
    EXPECT_EQ(view.scaleFactor(), ScrivolaPDFView::kMaximumScale);
    EXPECT_EQ(view.currentPage(), 20);  // zooming keeps the top of the view where it was
    view.setScaleFactor(0.01);
    EXPECT_EQ(view.scaleFactor(), ScrivolaPDFView::kMinimumScale);

    view.setDisplayMode(ViewMode::singlePage);
    EXPECT_EQ(view.currentPage(), 20);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);  // one page, smaller than the view
}

TEST(ScrivolaPDFView, TurnedPagesAndPagesOfOtherSizesLieWhereTheyAre) {
    PdfPageSpec wide;
    wide.mediaBox = QRectF(0, 0, 900, 400);
    wide.lines = {{"Wide page", {50, 300}}};
    PdfPageSpec letter;
    letter.lines = {{"Letter page", {72, 700}}};
    ScrivolaPDFView view;
    view.resize(700, 500);
    view.show();
    view.setScaleFactor(0.5);
    view.setDocument(PDFDocument::loadFromData(buildPdf({letter, wide, letter})));
    settle(view);  // all three pages are in view at half size: their sizes are read
    const QPointF onWide = view.convertFromPage(QPointF(450, 200), 1);
    EXPECT_EQ(view.pageIndexAt(onWide, false), 1);
    EXPECT_EQ(view.pageIndexAt(view.convertFromPage(QPointF(800, 50), 1), false), 1);  // beyond a letter page's width

    ScrivolaPDFView turned;
    turned.resize(900, 700);
    turned.show();
    turned.setDocument(PDFDocument::loadFromData(rotatedOffsetPage()));
    const QImage shown = settle(turned);
    // Turned a quarter clockwise, the text runs downwards from its baseline's start, with the
    // letters' tops to the right of it.
    const QPointF start = turned.convertFromPage(QPointF(72, 720), 0);  // page space starts at the media box
    const QRect ink = inkBounds(shown, QRectF(start + QPointF(-20, -5), QSizeF(40, 200)).toRect());
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.top(), start.y(), 3);
    EXPECT_GE(ink.left(), start.x() - 4);  // descenders only on the left
    EXPECT_GT(ink.height(), 3 * ink.width());
}

}  // namespace
