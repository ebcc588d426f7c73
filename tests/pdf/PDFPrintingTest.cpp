#include "pdf/PDFDocumentContext.h"
#include "support/PdfFactory.h"

#include <QFile>
#include <QPageLayout>
#include <QPageRanges>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

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

TEST_F(PDFPrintingTest, SelectedPagesOrTheDialogsRangePrintInAscendingOrder) {
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
}

TEST_F(PDFPrintingTest, NothingHappensWithoutAPresenterOrWhenCancelled) {
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
