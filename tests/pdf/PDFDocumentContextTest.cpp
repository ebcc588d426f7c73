#include "pdf/PDFDocumentContext.h"
#include "support/PdfFactory.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class PDFDocumentContextTest : public ::testing::Test {
protected:
    PDFDocumentContextTest() : model(blankDocument(12)), context(&model) {}
    PDFDocumentModel model;
    PDFDocumentContext context;
};

// A view that only remembers what it was asked.
class FakeView : public PDFViewHandle {
public:
    std::optional<PDFSelection> currentSelection() const override { return std::nullopt; }
    void clearSelection() override {}
    int pageIndexAt(const QPointF&, bool) const override { return -1; }
    QPointF convertToPage(const QPointF& p, int) const override { return p; }
};

TEST_F(PDFDocumentContextTest, ZoomStopsAtTheLimitsAndFitAsksForAFit) {
    context.zoomToFit();
    for (int i = 0; i < 20; ++i) context.zoomIn();
    EXPECT_EQ(context.zoomLevel(), 10.0);
    EXPECT_EQ(context.autoFitMode(), AutoFitMode::manual);
    context.setZoomLevel(0.12);
    context.zoomOut();  // 0.096 is below the floor
    context.zoomOut();
    EXPECT_EQ(context.zoomLevel(), 0.1);
    context.zoomToActualSize();
    context.zoomIn();
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 1.25);
    // Nonsense scales from a view are refused.
    context.setZoomLevel(0);
    context.setZoomLevel(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 1.25);

    context.setNeedsAutoFit(false);
    QSignalSpy spy(&context, &PDFDocumentContext::needsAutoFitChanged);
    context.zoomToFit();
    EXPECT_EQ(context.autoFitMode(), AutoFitMode::fitPage);
    EXPECT_TRUE(context.needsAutoFit());
    EXPECT_EQ(spy.count(), 1);
    context.setNeedsAutoFit(false);
    context.chooseAutoFitMode(AutoFitMode::fitWidth);
    EXPECT_TRUE(context.needsAutoFit());
}

TEST_F(PDFDocumentContextTest, PageNavigationClampsAndAddressesSpreads) {
    context.goToPage(-5);
    EXPECT_EQ(context.currentPage(), 0);
    context.goToPage(1000);
    EXPECT_EQ(context.currentPage(), 11);

    context.setViewMode(ViewMode::twoPages);
    context.goToPage(1000);
    EXPECT_EQ(context.currentPage(), 10);
    context.goToPage(3);
    EXPECT_EQ(context.currentPage(), 2);
    context.goToNextPage();
    EXPECT_EQ(context.currentPage(), 4);
    context.goToPage(10);
    context.goToNextPage();  // the step would leave the document: go to the last page
    EXPECT_EQ(context.currentPage(), 11);
    QSignalSpy spy(&context, &PDFDocumentContext::currentPageChanged);
    context.goToNextPage();
    EXPECT_EQ(spy.count(), 0);
    context.goToPreviousPage();
    EXPECT_EQ(context.currentPage(), 9);
    context.setCurrentPage(1);
    context.goToPreviousPage();
    EXPECT_EQ(context.currentPage(), 0);

    context.setViewMode(ViewMode::twoPagesContinuous);  // addresses pages directly
    context.goToPage(3);
    EXPECT_EQ(context.currentPage(), 3);
    context.setCurrentPage(40);  // a scroll position reported by the view
    EXPECT_EQ(context.currentPage(), 11);

    PDFDocumentModel emptyModel(blankDocument(0));
    PDFDocumentContext empty(&emptyModel);
    empty.goToPage(5);
    empty.goToNextPage();
    empty.goToPreviousPage();
    empty.extendSelection(0);
    EXPECT_EQ(empty.currentPage(), 0);
    EXPECT_TRUE(empty.selectedPages().empty());
}

TEST_F(PDFDocumentContextTest, PageSelectionExtendsFromTheHighestAndTogglesInRange) {
    context.extendSelection(4);
    EXPECT_EQ(context.selectedPages(), (std::set<int>{4}));
    context.setSelectedPages({5, 9});
    context.extendSelection(2);  // anchor is the highest selected page
    EXPECT_EQ(context.selectedPages(), (std::set<int>{2, 3, 4, 5, 6, 7, 8, 9}));
    context.setSelectedPages({1, 5, 9});
    context.extendSelection(11);
    context.togglePageSelection(5);
    context.togglePageSelection(0);
    EXPECT_EQ(context.selectedPages(), (std::set<int>{0, 1, 9, 10, 11}));
    QSignalSpy spy(&context, &PDFDocumentContext::selectedPagesChanged);
    context.togglePageSelection(12);
    context.extendSelection(-1);
    EXPECT_EQ(spy.count(), 0);

    context.nextResult();  // no results to step through
    context.previousResult();
    EXPECT_EQ(context.currentResultIndex(), 0);
}

TEST_F(PDFDocumentContextTest, CachedViewIsStrongAndShownViewIsWeak) {
    QSignalSpy cachedSpy(&context, &PDFDocumentContext::cachedPDFViewChanged);
    {
        auto view = std::make_shared<FakeView>();
        context.setCachedPDFView(view);
        context.setPdfView(view);
    }
    ASSERT_TRUE(context.hasCachedPDFView());
    EXPECT_EQ(context.pdfView(), context.cachedPDFView());
    context.clearCachedPDFView();
    EXPECT_EQ(context.pdfView(), nullptr);
    EXPECT_EQ(cachedSpy.count(), 2);
}

TEST(PDFDocumentContextLifetime, OutlivingItsModelIsHarmless) {
    auto model = std::make_unique<PDFDocumentModel>(blankDocument(3));
    PDFDocumentContext context(model.get());
    context.goToPage(2);
    model.reset();
    EXPECT_EQ(context.model(), nullptr);
    EXPECT_EQ(context.totalPages(), 0);
    context.goToNextPage();
    context.setPrintPresenter(nullptr);
    EXPECT_FALSE(context.printDocument());
}

}  // namespace
