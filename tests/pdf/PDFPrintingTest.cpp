#include "PdfModelTestFiles.h"
#include "pdf/PDFDocumentContext.h"

#include <QFile>
#include <QPageLayout>
#include <QPageRanges>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace scrivola;
using namespace scrivola::pdftest;

namespace {

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

TEST_F(PDFPrintingTest, SelectedPagesPrintInAscendingOrder) {
    PdfFilePresenter presenter(output());
    context.setPrintPresenter(&presenter);
    context.setSelectedPages({4, 1});
    ASSERT_TRUE(context.printDocument());
    EXPECT_TRUE(presenter.finished);
    EXPECT_TRUE(presenter.lastSucceeded);
    EXPECT_EQ(presenter.lastJob.documentName, "Colours");
    EXPECT_EQ(presenter.lastJob.pageCount, 2);

    const PDFDocumentPtr result = printed();
    ASSERT_EQ(result->pageCount(), 2);
    EXPECT_TRUE(sameColour(centreColour(*result->page(0)), colours[1]));
    EXPECT_TRUE(sameColour(centreColour(*result->page(1)), colours[4]));
}

TEST_F(PDFPrintingTest, WithoutSelectionEveryPagePrints) {
    PdfFilePresenter presenter(output());
    context.setPrintPresenter(&presenter);
    ASSERT_TRUE(context.printDocument());
    const PDFDocumentPtr result = printed();
    ASSERT_EQ(result->pageCount(), int(colours.size()));
    for (int i = 0; i < result->pageCount(); ++i)
        EXPECT_TRUE(sameColour(centreColour(*result->page(i)), colours[i])) << "sheet " << i;
}

TEST_F(PDFPrintingTest, ARangeChosenInThePrintDialogCountsTheSheetsOfTheJob) {
    PdfFilePresenter presenter(output());
    presenter.ranges.addRange(2, 3);
    context.setPrintPresenter(&presenter);
    context.setSelectedPages({0, 2, 3, 5});
    ASSERT_TRUE(context.printDocument());
    const PDFDocumentPtr result = printed();
    ASSERT_EQ(result->pageCount(), 2);
    EXPECT_TRUE(sameColour(centreColour(*result->page(0)), colours[2]));
    EXPECT_TRUE(sameColour(centreColour(*result->page(1)), colours[3]));
}

TEST_F(PDFPrintingTest, SelectedIndicesWithoutAPageAreSkipped) {
    PdfFilePresenter presenter(output());
    context.setPrintPresenter(&presenter);
    context.setSelectedPages({2, 40});
    ASSERT_TRUE(context.printDocument());
    const PDFDocumentPtr result = printed();
    ASSERT_EQ(result->pageCount(), 1);
    EXPECT_TRUE(sameColour(centreColour(*result->page(0)), colours[2]));
}

TEST_F(PDFPrintingTest, NothingHappensWithoutAPresenterOrWhenCancelled) {
    EXPECT_FALSE(context.printDocument());
    PdfFilePresenter cancelling(output(), true);
    context.setPrintPresenter(&cancelling);
    EXPECT_FALSE(context.printDocument());
    EXPECT_FALSE(cancelling.finished);
    EXPECT_FALSE(QFile::exists(output()));
}

// The sheets are A4 portrait (595 x 842 points); measure where the page's colour landed.
QRect printedArea(const PDFPage& sheet, double scale) {
    return inkBounds(sheet.render(scale));
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
    const double scale = 0.5;
    const QSizeF sheet(595.0 * scale, 842.0 * scale);
    for (int i = 0; i < 3; ++i) {
        const QRect area = printedArea(*result->page(i), scale);
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
