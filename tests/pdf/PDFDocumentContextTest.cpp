// The PDF context: zoom, navigation, page selection, undo notifications, and printing.
#include "pdf/PDFDocumentContext.h"
#include "support/PdfFactory.h"

#include <QCoreApplication>
#include <QFile>
#include <QPageLayout>
#include <QPageRanges>
#include <QPdfWriter>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

class PDFDocumentContextTest : public ::testing::Test {
protected:
    PDFDocumentContextTest() : model(blankDocument(12)), context(&model) {}
    PDFDocumentModel model;
    PDFDocumentContext context;
};

TEST_F(PDFDocumentContextTest, ZoomStopsAtTheLimitsAndRefusesNonsense) {
    for (int i = 0; i < 20; ++i) context.zoomIn();
    EXPECT_EQ(context.zoomLevel(), 10.0);
    EXPECT_EQ(context.autoFitMode(), AutoFitMode::manual);
    context.setZoomLevel(0.12);
    context.zoomOut();  // 0.096 is below the floor
    EXPECT_EQ(context.zoomLevel(), 0.1);
    context.setZoomLevel(std::numeric_limits<double>::quiet_NaN());  // from a view
    EXPECT_EQ(context.zoomLevel(), 0.1);
    context.setNeedsAutoFit(false);
    context.zoomToFit();  // asks the view for a fit
    EXPECT_TRUE(context.needsAutoFit() && context.autoFitMode() == AutoFitMode::fitPage);
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

// Printing: the pages chosen, in order, scaled to fit the paper.
namespace {

// The colour at the centre of a page rendered at a small scale.
QColor centreColour(const PDFPage& page) {
    const QImage image = page.render(0.25);
    return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
}

// Prints into a PDF file on A4 portrait paper without margins, as a printer would receive it.
class PdfFilePresenter : public PDFPrintPresenter {
public:
    explicit PdfFilePresenter(QString path, bool cancel = false) : path_(std::move(path)), cancel_(cancel) {}

    QPageRanges ranges;  // as chosen in a print dialog

    QPagedPaintDevice* beginPrint(const PDFPrintJob& job) override {
        lastJob = job;
        if (cancel_) return nullptr;
        writer_ = std::make_unique<QPdfWriter>(path_);
        writer_->setResolution(72);
        writer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        writer_->setPageRanges(ranges);
        return writer_.get();
    }
    void finishPrint(QPagedPaintDevice* device, bool succeeded) override {
        EXPECT_EQ(device, writer_.get());
        finished = true;
        lastSucceeded = succeeded;
        writer_.reset();
    }

    PDFPrintJob lastJob;
    bool finished = false;
    bool lastSucceeded = false;

private:
    QString path_;
    bool cancel_;
    std::unique_ptr<QPdfWriter> writer_;
};

class PDFPrintingTest : public ::testing::Test {
protected:
    PDFPrintingTest()
        : colours(distinctColours()), model(colourDocument(colours), dir.filePath("Colours.pdf")), context(&model) {}

    QString output() const { return dir.filePath("printed.pdf"); }
    PDFDocumentPtr printed() const { return PDFDocument::load(output()); }

    QTemporaryDir dir;
    std::vector<QColor> colours;
    PDFDocumentModel model;
    PDFDocumentContext context;
};

TEST_F(PDFPrintingTest, SelectedPagesOrTheDialogsRangePrintInAscendingOrderAndCancellingPrintsNothing) {
    struct Case {
        std::set<int> selected;
        QPageRanges ranges;
        std::vector<int> expected;
    };
    QPageRanges sheets2to3;
    sheets2to3.addRange(2, 3);  // counts the sheets of the job
    const std::vector<Case> cases{{{4, 1}, {}, {1, 4}},
                                  {{}, {}, {0, 1, 2, 3, 4, 5}},
                                  {{0, 2, 3, 5}, sheets2to3, {2, 3}},
                                  {{2, 40}, {}, {2}}};  // an index without a page is skipped
    for (const Case& c : cases) {
        PdfFilePresenter presenter(output());
        presenter.ranges = c.ranges;
        context.setPrintPresenter(&presenter);
        context.setSelectedPages(c.selected);
        ASSERT_TRUE(context.printDocument());
        EXPECT_TRUE(presenter.finished && presenter.lastSucceeded);
        EXPECT_EQ(presenter.lastJob.documentName, "Colours");
        const PDFDocumentPtr result = printed();
        ASSERT_EQ(result->pageCount(), int(c.expected.size()));
        for (int i = 0; i < result->pageCount(); ++i)
            EXPECT_TRUE(sameColour(centreColour(*result->page(i)), colours[c.expected[i]])) << "sheet " << i;
    }
    // Nothing happens without a presenter or when cancelled.
    QFile::remove(output());
    context.setPrintPresenter(nullptr);
    EXPECT_FALSE(context.printDocument());
    PdfFilePresenter cancelling(output(), true);
    context.setPrintPresenter(&cancelling);
    EXPECT_FALSE(context.printDocument());
    EXPECT_FALSE(cancelling.finished);
    EXPECT_FALSE(QFile::exists(output()));
}

TEST(PDFPrintingLayout, PagesAreScaledToFitCentredAndTurnedToThePaper) {
    QTemporaryDir dir;
    const std::vector<QColor> colours{QColor(200, 40, 40), QColor(40, 40, 200), QColor(40, 160, 40)};
    // A small portrait page, a landscape page and a rotated landscape page (shown portrait).
    PDFDocumentModel model(colourDocument(colours, {{100, 200}, {400, 200}, {400, 200}}));
    model.pdfDocument()->page(2)->setRotation(90);
    PDFDocumentContext context(&model);
    PdfFilePresenter presenter(dir.filePath("out.pdf"));
    context.setPrintPresenter(&presenter);
    ASSERT_TRUE(context.printDocument());

    const PDFDocumentPtr result = PDFDocument::load(dir.filePath("out.pdf"));
    ASSERT_EQ(result->pageCount(), 3);
    const double scale = 0.5;  // the sheets are A4 portrait (595 x 842 points)
    const QSizeF sheet(595.0 * scale, 842.0 * scale);
    for (int i = 0; i < 3; ++i) {
        const QRect area = inkBounds(result->page(i)->render(scale), {}, Qt::white, 20);
        ASSERT_FALSE(area.isEmpty()) << "sheet " << i;
        // Every page stands upright as 1 : 2 and is scaled up until it fills the paper's height.
        EXPECT_NEAR(area.height(), sheet.height(), 3) << "sheet " << i;
        EXPECT_NEAR(area.width(), sheet.height() / 2, 3) << "sheet " << i;
        EXPECT_NEAR(area.center().x(), sheet.width() / 2, 2) << "sheet " << i;
        EXPECT_NEAR(area.center().y(), sheet.height() / 2, 2) << "sheet " << i;
        EXPECT_TRUE(sameColour(centreColour(*result->page(i)), colours[i])) << "sheet " << i;
    }
}

}  // namespace
