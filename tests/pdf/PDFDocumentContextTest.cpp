#include "pdf/PDFDocumentContext.h"
#include "support/PdfFactory.h"

#include <QCoreApplication>
#include <QPointer>
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

TEST_F(PDFDocumentContextTest, ZoomStopsAtTheLimitsAndFitAsksForAFit) {
    context.zoomToFit();
    for (int i = 0; i < 20; ++i) context.zoomIn();
    EXPECT_EQ(context.zoomLevel(), 10.0);
    EXPECT_EQ(context.autoFitMode(), AutoFitMode::manual);
    context.setZoomLevel(0.12);
    context.zoomOut();  // 0.096 is below the floor
    context.zoomOut();
    EXPECT_EQ(context.zoomLevel(), 0.1);
    context.setZoomLevel(1.25);
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
    context.goToPage(10);
    context.goToNextPage();  // the step would leave the document: go to the last page
    EXPECT_EQ(context.currentPage(), 11);
    QSignalSpy spy(&context, &PDFDocumentContext::currentPageChanged);
    context.goToNextPage();
    EXPECT_EQ(spy.count(), 0);
    context.goToPreviousPage();
    EXPECT_EQ(context.currentPage(), 9);

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

void flushDeferredWork() { QCoreApplication::processEvents(); }

class PDFContextUndoTest : public ::testing::Test {
protected:
    PDFContextUndoTest() : model(blankDocument(3)), context(&model) {}

    PDFDocument& document() { return *model.pdfDocument(); }

    // An undoable edit like the page operations make: inserts a page at the end and registers
    // its removal, whose own inverse inserts the same page again.
    void appendPage() {
        const PDFPagePtr page = document().insertBlankPage({100, 100}, document().pageCount());
        model.setModified(true);
        registerRemoval(page);
        context.incrementDocumentRevision();
        context.updateUndoState();
    }
    void registerRemoval(const PDFPagePtr& page) {
        context.undoManager()->registerUndo([this, page] {
            const int index = document().index(*page);
            document().removePage(index);
            context.undoManager()->registerUndo([this, page, index] {
                document().insertPage(page, index);
                registerRemoval(page);
            });
        });
    }
    PDFDocumentModel model;
    PDFDocumentContext context;
};

TEST_F(PDFContextUndoTest, ClosedGroupsRaiseTheRevisionAfterTheManagerFinished) {
    int revisionSeenInsideTheGroup = -1;
    {
        UndoGroup group(*context.undoManager());
        context.undoManager()->registerUndo([] {});
        context.undoManager()->registerUndo([] {});
        revisionSeenInsideTheGroup = context.documentRevision();
    }
    // The update is deferred: nothing changes inside the manager's own call.
    EXPECT_EQ(revisionSeenInsideTheGroup, 0);
    EXPECT_FALSE(context.canUndo());
    flushDeferredWork();
    EXPECT_EQ(context.documentRevision(), 1);
    EXPECT_TRUE(context.canUndo());
}

TEST_F(PDFContextUndoTest, UndoAndRedoRaiseTheRevisionAndUpdateTheFlags) {
    appendPage();
    flushDeferredWork();
    ASSERT_EQ(document().pageCount(), 4);
    ASSERT_TRUE(context.canUndo());
    model.setModified(false);  // as after a save

    int revision = context.documentRevision();
    context.undo();
    EXPECT_EQ(document().pageCount(), 3);
    EXPECT_GT(context.documentRevision(), revision);  // at once, before any deferred work
    EXPECT_FALSE(context.canUndo());
    EXPECT_TRUE(context.canRedo());

    revision = context.documentRevision();
    context.redo();
    EXPECT_EQ(document().pageCount(), 4);
    EXPECT_GT(context.documentRevision(), revision);
    EXPECT_TRUE(context.canUndo());
    EXPECT_FALSE(context.canRedo());
    EXPECT_FALSE(model.isModified());  // undo and redo leave the modified flag alone
}

TEST_F(PDFContextUndoTest, CurrentPageStaysInsideTheDocumentAfterUndoAndRedo) {
    appendPage();
    context.goToPage(3);
    context.setSelectedPages({1, 3});
    context.undo();  // the page that was shown is gone
    EXPECT_EQ(document().pageCount(), 3);
    EXPECT_EQ(context.currentPage(), 2);
    EXPECT_EQ(context.selectedPages(), (std::set<int>{1}));
}

TEST(PDFContextUndoLifetime, PendingNotificationsDieWithTheContext) {
    PDFDocumentModel model(blankDocument(2));
    auto context = std::make_unique<PDFDocumentContext>(&model);
    QPointer<UndoManager> manager = context->undoManager();
    manager->registerUndo([] {});
    context.reset();
    EXPECT_TRUE(manager.isNull());
    flushDeferredWork();  // must not reach the destroyed context (a crash under the sanitizers)
}

}  // namespace
