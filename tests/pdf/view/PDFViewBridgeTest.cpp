// The bridge between a tab's context and its page view: fitting, pages and zoom both ways,
// without the two echoing each other.

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/view/PDFViewBridge.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "ViewFixture.h"

#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

using PDFViewBridgeTest = ViewFixture;

TEST_F(PDFViewBridgeTest, FitsOnShowingAndCarriesPagesAndZoomBothWays) {
    ASSERT_NO_FATAL_FAILURE(open(10, QSize(800, 600)));

    // Fit page: the letter page's height in the view less 20 points.
    const double fit = (view.viewport()->height() - 20.0) / 792;
    EXPECT_NEAR(context->zoomLevel(), fit, 1e-9);
    EXPECT_NEAR(view.scaleFactor(), fit, 1e-9);
    EXPECT_FALSE(context->needsAutoFit());

    context->setViewMode(ViewMode::continuous);
    EXPECT_EQ(view.displayMode(), ViewMode::continuous);
    context->goToPage(5);
    EXPECT_EQ(view.currentPage(), 5);
    QCoreApplication::processEvents();

    // The user scrolls into page 8: the context follows, and the view is not pulled back to the
    // top of that page.
    const int into8 = int(view.convertFromPage(QPointF(300, 500), 7).y()) + view.verticalScrollBar()->value();
    view.verticalScrollBar()->setValue(into8);
    QCoreApplication::processEvents();
    EXPECT_EQ(context->currentPage(), 7);
    EXPECT_EQ(view.verticalScrollBar()->value(), into8);

    context->zoomIn();
    EXPECT_NEAR(view.scaleFactor(), context->zoomLevel(), 1e-9);
    EXPECT_GT(view.scaleFactor(), fit);

    // Ctrl + wheel: the view zooms and the context stops fitting.
    context->chooseAutoFitMode(AutoFitMode::fitWidth);
    QCoreApplication::processEvents();
    EXPECT_NEAR(view.scaleFactor(), (view.viewport()->width() - 20.0) / 612, 1e-9);
    QWheelEvent wheel(QPointF(100, 100), view.mapToGlobal(QPointF(100, 100)), {}, QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_EQ(context->autoFitMode(), AutoFitMode::manual);
    EXPECT_NEAR(context->zoomLevel(), view.scaleFactor(), 1e-9);
}

TEST_F(PDFViewBridgeTest, DraggingSelectsTextWhichHighlightModeTurnsIntoHighlights) {
    ASSERT_NO_FATAL_FAILURE(open(2, QSize(800, 900)));

    // Across "quick brown" on the second line (baseline 704), 12-point Helvetica from x 72.
    const QPoint from = view.convertFromPage(QPointF(97, 707), 0).toPoint();
    const QPoint to = view.convertFromPage(QPointF(150, 707), 0).toPoint();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view.viewport(), to);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    ASSERT_TRUE(view.currentSelection().has_value());
    EXPECT_TRUE(view.currentSelection()->string().contains("quick brow")) << view.currentSelection()->string().toStdString();
    // The context sees the same selection through its handle on the view.
    ASSERT_TRUE(context->pdfView());
    EXPECT_EQ(context->pdfView()->currentSelection()->string(), view.currentSelection()->string());

    // A double click takes the whole word.
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.convertFromPage(QPointF(170, 707), 0).toPoint());
    EXPECT_EQ(view.currentSelection()->string(), "fox");

    // In highlight mode the finished selection is highlighted on the page.
    context->setHighlightMode(true);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(view.viewport(), to);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
    int highlights = 0;
    for (const auto& annotation : model->pdfDocument()->page(0)->annotations())
        highlights += annotation->subtype() == PDFAnnotation::Subtype::highlight ? 1 : 0;
    EXPECT_EQ(highlights, 1);

    // In hand mode a drag pans instead.
    context->setHighlightMode(false);
    view.clearSelection();
    view.setScaleFactor(3);
    context->setTextSelectionMode(false);
    ASSERT_TRUE(view.isHandMode());
    const int before = view.verticalScrollBar()->value();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(300, 400));
    QTest::mouseMove(view.viewport(), QPoint(300, 300));
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_EQ(view.verticalScrollBar()->value(), before + 100);
    EXPECT_FALSE(view.currentSelection().has_value());
}

}  // namespace
