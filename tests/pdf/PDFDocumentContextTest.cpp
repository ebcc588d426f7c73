#include "PdfModelTestFiles.h"
#include "pdf/PDFDocumentContext.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::pdftest;

namespace {

class PDFDocumentContextTest : public ::testing::Test {
protected:
    explicit PDFDocumentContextTest(int pages = 12) : model(blankDocument(pages)), context(&model) {}
    PDFDocumentModel model;
    PDFDocumentContext context;
};

SearchResult result(int page) { return {QUuid::createUuid(), page, QString("hit"), PDFSelection()}; }

// A view that only remembers what it was asked.
class FakeView : public PDFViewHandle {
public:
    std::optional<PDFSelection> currentSelection() const override { return std::nullopt; }
    void clearSelection() override {}
    int pageIndexAt(const QPointF&, bool) const override { return -1; }
    QPointF convertToPage(const QPointF& p, int) const override { return p; }
};

TEST_F(PDFDocumentContextTest, StartsWithTheDocumentedState) {
    EXPECT_EQ(context.documentType(), DocumentType::pdf);
    EXPECT_EQ(context.model(), &model);
    EXPECT_EQ(context.zoomLevel(), 1.0);
    EXPECT_EQ(context.currentPage(), 0);
    EXPECT_EQ(context.totalPages(), 12);
    EXPECT_TRUE(context.searchResults().empty());
    EXPECT_FALSE(context.activeSelection().has_value());
    EXPECT_EQ(context.viewMode(), ViewMode::singlePage);
    EXPECT_TRUE(context.isTextSelectionMode());
    EXPECT_TRUE(context.isSidebarVisible());
    EXPECT_EQ(context.sidebarWidth(), 200.0);
    EXPECT_EQ(context.sidebarMode(), SidebarMode::view);
    EXPECT_FALSE(context.canUndo());
    EXPECT_EQ(context.documentRevision(), 0);
    EXPECT_FALSE(context.hasUndoManager());
    EXPECT_EQ(context.autoFitMode(), AutoFitMode::fitPage);
    EXPECT_TRUE(context.needsAutoFit());
    EXPECT_FALSE(context.hasCachedPDFView());
    EXPECT_EQ(context.highlightColor(), HighlightColor::yellow);
    EXPECT_EQ(context.textSubMode(), TextSubMode::select);
    EXPECT_EQ(context.textFontName(), "Helvetica");
    EXPECT_EQ(context.textFontSize(), 14.0);
    EXPECT_EQ(context.textFontColor(), QColor(Qt::black));
    EXPECT_EQ(context.textAlignment(), Qt::AlignLeft);
    EXPECT_FALSE(context.selectedSignatureId().has_value());
    EXPECT_EQ(context.signatureSize(), QSizeF(200, 80));
    EXPECT_EQ(context.signatureStorage(), nullptr);
}

TEST_F(PDFDocumentContextTest, ZoomStepsStopAtTheLimits) {
    context.zoomToFit();
    for (int i = 0; i < 20; ++i) context.zoomIn();
    EXPECT_EQ(context.zoomLevel(), 10.0);
    EXPECT_EQ(context.autoFitMode(), AutoFitMode::manual);

    context.setZoomLevel(0.12);
    context.zoomOut();  // 0.096 is below the floor
    EXPECT_EQ(context.zoomLevel(), 0.1);
    context.zoomOut();
    EXPECT_EQ(context.zoomLevel(), 0.1);

    context.zoomToActualSize();
    EXPECT_EQ(context.zoomLevel(), 1.0);
    context.zoomIn();
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 1.25);

    // Nonsense scales from a view are refused.
    context.setZoomLevel(0);
    context.setZoomLevel(std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(context.zoomLevel(), 1.25);
}

TEST_F(PDFDocumentContextTest, ZoomToFitAsksForAFit) {
    context.zoomIn();
    context.setNeedsAutoFit(false);
    QSignalSpy spy(&context, &PDFDocumentContext::needsAutoFitChanged);
    context.zoomToFit();
    EXPECT_EQ(context.autoFitMode(), AutoFitMode::fitPage);
    EXPECT_TRUE(context.needsAutoFit());
    EXPECT_EQ(spy.count(), 1);

    context.setNeedsAutoFit(false);
    context.chooseAutoFitMode(AutoFitMode::fitWidth);
    EXPECT_EQ(context.autoFitMode(), AutoFitMode::fitWidth);
    EXPECT_TRUE(context.needsAutoFit());
}

TEST_F(PDFDocumentContextTest, GoToPageClampsAndAddressesSpreads) {
    context.goToPage(-5);
    EXPECT_EQ(context.currentPage(), 0);
    context.goToPage(1000);
    EXPECT_EQ(context.currentPage(), 11);
    context.goToPage(4);
    EXPECT_EQ(context.currentPage(), 4);

    context.setViewMode(ViewMode::twoPages);
    context.goToPage(1000);
    EXPECT_EQ(context.currentPage(), 10);
    context.goToPage(3);
    EXPECT_EQ(context.currentPage(), 2);
    context.goToPage(0);
    EXPECT_EQ(context.currentPage(), 0);

    // Continuous two-up addresses pages directly.
    context.setViewMode(ViewMode::twoPagesContinuous);
    context.goToPage(3);
    EXPECT_EQ(context.currentPage(), 3);

    // A scroll position reported by the view stays inside the document.
    context.setCurrentPage(40);
    EXPECT_EQ(context.currentPage(), 11);
}

TEST_F(PDFDocumentContextTest, NextAndPreviousPage) {
    context.setViewMode(ViewMode::twoPages);
    context.goToPage(0);
    context.goToNextPage();
    EXPECT_EQ(context.currentPage(), 2);
    context.goToPage(10);
    context.goToNextPage();  // the step would leave the document: go to the last page
    EXPECT_EQ(context.currentPage(), 11);
    QSignalSpy spy(&context, &PDFDocumentContext::currentPageChanged);
    context.goToNextPage();
    EXPECT_EQ(context.currentPage(), 11);
    EXPECT_EQ(spy.count(), 0);

    context.goToPreviousPage();
    EXPECT_EQ(context.currentPage(), 9);
    context.setCurrentPage(1);
    context.goToPreviousPage();
    EXPECT_EQ(context.currentPage(), 0);

    context.setViewMode(ViewMode::continuous);
    context.goToPreviousPage();
    EXPECT_EQ(context.currentPage(), 0);
    context.goToNextPage();
    EXPECT_EQ(context.currentPage(), 1);
}

TEST(PDFDocumentContextEmpty, NavigationInAnEmptyDocumentStaysAtZero) {
    PDFDocumentModel model(blankDocument(0));
    PDFDocumentContext context(&model);
    context.goToPage(5);
    context.goToNextPage();
    context.goToPreviousPage();
    context.extendSelection(0);
    EXPECT_EQ(context.currentPage(), 0);
    EXPECT_EQ(context.totalPages(), 0);
    EXPECT_TRUE(context.selectedPages().empty());
}

TEST_F(PDFDocumentContextTest, PageSelection) {
    context.extendSelection(4);
    EXPECT_EQ(context.selectedPages(), (std::set<int>{4}));

    context.setSelectedPages({5, 9});
    context.extendSelection(2);  // anchor is the highest selected page
    EXPECT_EQ(context.selectedPages(), (std::set<int>{2, 3, 4, 5, 6, 7, 8, 9}));

    context.setSelectedPages({1, 5, 9});
    context.extendSelection(11);
    EXPECT_EQ(context.selectedPages(), (std::set<int>{1, 5, 9, 10, 11}));

    context.togglePageSelection(5);
    context.togglePageSelection(0);
    EXPECT_EQ(context.selectedPages(), (std::set<int>{0, 1, 9, 10, 11}));

    // Indices outside the document are ignored.
    QSignalSpy spy(&context, &PDFDocumentContext::selectedPagesChanged);
    context.togglePageSelection(12);
    context.extendSelection(-1);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(PDFDocumentContextTest, SearchResultsWrapAround) {
    context.nextResult();  // nothing to step through
    EXPECT_EQ(context.currentResultIndex(), 0);

    context.setSearchResults({result(1), result(5), result(5)});
    context.nextResult();
    context.nextResult();
    EXPECT_EQ(context.currentResultIndex(), 2);
    context.nextResult();
    EXPECT_EQ(context.currentResultIndex(), 0);
    context.previousResult();
    EXPECT_EQ(context.currentResultIndex(), 2);
    context.previousResult();
    EXPECT_EQ(context.currentResultIndex(), 1);
}

TEST_F(PDFDocumentContextTest, SettersNotifyOnlyOnChange) {
    QSignalSpy modeSpy(&context, &PDFDocumentContext::viewModeChanged);
    QSignalSpy boldSpy(&context, &PDFDocumentContext::textIsBoldChanged);
    QSignalSpy colourSpy(&context, &PDFDocumentContext::textFontColorChanged);
    context.setViewMode(ViewMode::continuous);
    context.setViewMode(ViewMode::continuous);
    context.setTextIsBold(true);
    context.setTextIsBold(true);
    context.setTextFontColor(Qt::red);
    context.setTextFontColor(QColor(255, 0, 0));
    EXPECT_EQ(modeSpy.count(), 1);
    EXPECT_EQ(boldSpy.count(), 1);
    EXPECT_EQ(colourSpy.count(), 1);
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

    // Evicting the cached view releases it; the on-screen link does not keep it alive.
    context.clearCachedPDFView();
    EXPECT_FALSE(context.hasCachedPDFView());
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

TEST(PDFContextTypes, RawValuesRoundTrip) {
    for (ViewMode mode : {ViewMode::singlePage, ViewMode::continuous, ViewMode::twoPages, ViewMode::twoPagesContinuous})
        EXPECT_EQ(viewModeFromRaw(rawValue(mode)), mode);
    EXPECT_EQ(rawValue(ViewMode::twoPagesContinuous), "twoPagesContinuous");
    EXPECT_FALSE(viewModeFromRaw("TwoPages").has_value());
    EXPECT_TRUE(isContinuous(ViewMode::twoPagesContinuous));
    EXPECT_FALSE(isContinuous(ViewMode::twoPages));
    EXPECT_TRUE(isTwoUp(ViewMode::twoPages));
    EXPECT_EQ(highlightColorFromRaw("orange"), HighlightColor::orange);
    EXPECT_FALSE(highlightColorFromRaw("purple").has_value());
    EXPECT_EQ(autoFitModeFromRaw("fitWidth"), AutoFitMode::fitWidth);
}

}  // namespace
