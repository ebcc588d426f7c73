// The compression sheet: debounced estimates, the no-op and not-smaller rules, failures that
// keep it open, outputs that never replace a source, and the window's sheet hook.
#include "compression/CompressionService.h"
#include "compression/view/CompressDialogView.h"
#include "compression/view/CompressPanels.h"
#include "image/ImageDocumentContext.h"
#include "image/ImageDocumentModel.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "support/Files.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"
#include "workspace/TabItem.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

struct FakePanels : CompressPanels {
    QString saveAnswer, folderAnswer;
    bool confirmAnswer = false;
    QString proposedName, filter, question;
    int saveAsked = 0, folderAsked = 0, confirmAsked = 0;
    QString chooseSaveLocation(const QString& name, const QString& f) override {
        ++saveAsked, proposedName = name, filter = f;
        return saveAnswer;
    }
    QString chooseFolder() override { return ++folderAsked, folderAnswer; }
    bool confirmNotSmaller(const QString& message) override { return ++confirmAsked, question = message, confirmAnswer; }
};

// A lossless picture with detail, which JPEG shrinks a lot; with `noise`, PNG can hardly shrink it.
QImage detailedImage(QSize size, bool noise = false) {
    QImage image(size, QImage::Format_RGB32);
    quint32 seed = 7;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = noise ? int(seed >> 26) : 0;
            image.setPixel(x, y, qRgb((x * 7 + y + n) % 256, (y * 5 + n) % 256, ((x ^ y) * 3) % 256));
        }
    return image;
}

class CompressDialogTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }

    std::unique_ptr<TabItem> pdfTab(const QString& url) { return pdfTab(std::make_unique<PDFDocumentModel>(url)); }
    std::unique_ptr<TabItem> pdfTab(std::unique_ptr<PDFDocumentModel> model) {
        PDFDocumentModel* raw = model.get();
        auto tab = std::make_unique<TabItem>(std::move(model));
        tab->setContext(std::make_unique<PDFDocumentContext>(raw));
        return tab;
    }
    std::unique_ptr<TabItem> imageTab(const QStringList& urls) {
        auto model = std::make_unique<ImageDocumentModel>(urls);
        ImageDocumentModel* raw = model.get();
        auto tab = std::make_unique<TabItem>(std::move(model));
        tab->setContext(std::make_unique<ImageDocumentContext>(raw));
        return tab;
    }
    std::unique_ptr<CompressDialogView> dialog(TabItem* tab) {
        return std::make_unique<CompressDialogView>(tab, [this] { ++dismissed; }, &panels);
    }
    static void waitForEstimate(CompressDialogView& view) {
        QSignalSpy spy(&view, &CompressDialogView::estimateUpdated);
        ASSERT_TRUE(spy.wait(10000));
    }
    static void waitForSave(CompressDialogView& view) {
        QSignalSpy spy(&view, &CompressDialogView::saveFinished);
        ASSERT_TRUE(spy.wait(20000));
    }
    static QPushButton* button(CompressDialogView& view, const QString& text) {
        for (auto* b : view.findChildren<QPushButton*>())
            if (b->text() == text) return b;
        return nullptr;
    }
    static QString compressedLine(CompressDialogView& view) {
        QStringList texts;
        for (auto* label : view.findChildren<QLabel*>())
            if (!label->isHidden() && label->parentWidget() && label->parentWidget() != &view &&
                label->parentWidget()->isVisibleTo(&view))
                texts << label->text();
        return texts.join(QLatin1Char(' '));
    }
    static bool visibleSlider(CompressDialogView& view, const QString& name) {
        for (auto* s : view.findChildren<QSlider*>())
            if (s->accessibleName() == name) return s->isVisibleTo(&view);
        return false;
    }

    QTemporaryDir dir;
    FakePanels panels;
    int dismissed = 0;
};

}  // namespace

TEST_F(CompressDialogTest, ByteCountsReadLikeFileSizes) {
    EXPECT_EQ(formatByteCount(0), "Zero KB");
    EXPECT_EQ(formatByteCount(500), "1 KB");
    EXPECT_EQ(formatByteCount(895'000), "895 KB");
    EXPECT_EQ(formatByteCount(1'000'000), "1 MB");
    EXPECT_EQ(formatByteCount(1'540'000), "1.5 MB");
    EXPECT_EQ(formatByteCount(2'250'000'000), "2.25 GB");
}

TEST_F(CompressDialogTest, BurstOfChangesGivesOneEstimateAndNoOpDisablesSaving) {
    const QString path = writeFile(dir, "report.pdf", pdfWithImage(detailedImage({200, 150}), QSizeF(300, 240)));
    auto tab = pdfTab(path);
    auto view = dialog(tab.get());
    const qint64 size = QFileInfo(path).size();
    EXPECT_EQ(view->windowTitle(), "Compress PDF");
    EXPECT_EQ(view->displayName(), "report.pdf");
    EXPECT_EQ(view->originalSize(), size);
    EXPECT_FALSE(visibleSlider(*view, "DPI"));
    for (double q : {0.5, 0.55, 0.6, 0.7}) view->setPdfQuality(q);
    waitForEstimate(*view);
    QTest::qWait(400);  // nothing more was waiting
    EXPECT_EQ(view->estimateCount(), 1);
    EXPECT_EQ(view->estimatedSize(), CompressionService::estimateRedrawSize(size, 0.7));
    EXPECT_TRUE(compressedLine(*view).contains(QStringLiteral("(%1% smaller)").arg(100 - *view->estimatedSize() * 100 / size)));

    view->setPdfQuality(1.0);
    EXPECT_TRUE(view->isNoOp());
    EXPECT_FALSE(button(*view, "Save As...")->isEnabled());
    EXPECT_FALSE(compressedLine(*view).contains("Compressed:"));
    view->saveCompressed();
    EXPECT_EQ(panels.saveAsked, 0);

    view->findChild<QCheckBox*>()->click();  // rasterising is never a no-op; the DPI slider appears
    EXPECT_TRUE(visibleSlider(*view, "DPI"));
    EXPECT_TRUE(button(*view, "Save As...")->isEnabled());
    waitForEstimate(*view);
    EXPECT_EQ(view->estimateCount(), 2);
    EXPECT_GT(view->estimatedSize().value_or(0), 1024);
}

TEST_F(CompressDialogTest, FailedEstimateIsUnavailableAndDisablesSaving) {
    PdfPageSpec huge;
    huge.mediaBox = QRectF(0, 0, 14400, 14400);  // beyond any bitmap at 300 dpi
    auto tab = pdfTab(writeFile(dir, "poster.pdf", buildPdf({huge})));
    auto view = dialog(tab.get());
    view->setUseRasterization(true);
    view->setPdfDPI(300);
    waitForEstimate(*view);
    EXPECT_FALSE(view->estimatedSize());
    EXPECT_TRUE(compressedLine(*view).contains("unavailable"));
    EXPECT_FALSE(compressedLine(*view).contains("smaller"));
    EXPECT_FALSE(button(*view, "Save As...")->isEnabled());
}

TEST_F(CompressDialogTest, PdfSavesSmallerCopyAndNeverReplacesTheSource) {
    const QString path = writeFile(dir, "scan.v2.pdf", pdfWithImage(detailedImage({500, 400}), QSizeF(300, 240)));
    const QByteArray original = readBytes(path);
    auto tab = pdfTab(path);
    auto view = dialog(tab.get());
    view->setPdfQuality(0.5);

    panels.saveAnswer = path;  // the source itself
    view->saveCompressed();
    EXPECT_EQ(panels.proposedName, "scan.v2_compressed.pdf");
    EXPECT_EQ(panels.filter, "PDF (*.pdf)");
    EXPECT_TRUE(view->messageText().contains("cannot replace")) << view->messageText().toStdString();
    EXPECT_FALSE(view->isCompressing());
    EXPECT_EQ(readBytes(path), original);

    panels.saveAnswer = dir.filePath("small.pdf");
    view->saveCompressed();
    EXPECT_TRUE(view->isCompressing());
    button(*view, "Cancel")->click();  // stops the save; the sheet stays
    waitForSave(*view);
    EXPECT_FALSE(QFileInfo::exists(panels.saveAnswer));
    EXPECT_EQ(dismissed, 0);

    view->saveCompressed();
    waitForSave(*view);
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(panels.confirmAsked, 0);
    const QByteArray small = readBytes(panels.saveAnswer);
    EXPECT_LT(small.size(), original.size() / 2);
    EXPECT_EQ(PDFDocument::loadFromData(small)->pageCount(), 1);
    EXPECT_EQ(readBytes(path), original);
    EXPECT_FALSE(tab->content()->isModified());
}

TEST_F(CompressDialogTest, ResultNotSmallerIsWrittenOnlyWhenConfirmed) {
    const QString path = writeFile(dir, "text.pdf", textPdf(1));
    auto tab = pdfTab(path);
    auto view = dialog(tab.get());
    view->setUseRasterization(true);  // a picture of a text page outweighs the text
    view->setPdfQuality(1.0);
    panels.saveAnswer = dir.filePath("out.pdf");
    view->saveCompressed();
    waitForSave(*view);
    EXPECT_EQ(panels.confirmAsked, 1);
    EXPECT_TRUE(panels.question.contains("not smaller")) << panels.question.toStdString();
    EXPECT_FALSE(QFileInfo::exists(panels.saveAnswer));
    EXPECT_TRUE(view->messageText().contains("Nothing was saved"));
    EXPECT_EQ(dismissed, 0);

    panels.confirmAnswer = true;
    view->saveCompressed();
    waitForSave(*view);
    EXPECT_EQ(panels.confirmAsked, 2);
    EXPECT_EQ(PDFDocument::loadFromData(readBytes(panels.saveAnswer))->pageCount(), 1);
    EXPECT_EQ(dismissed, 1);
}

TEST_F(CompressDialogTest, PdfWithoutFileProposesDocumentName) {
    auto tab = pdfTab(std::make_unique<PDFDocumentModel>(PDFDocument::loadFromData(textPdf(1))));
    auto view = dialog(tab.get());
    EXPECT_EQ(view->displayName(), "PDF");
    EXPECT_EQ(view->proposedFileName(), "document_compressed.pdf");
    EXPECT_EQ(view->originalSize(), 0);
    waitForEstimate(*view);
    ASSERT_TRUE(view->estimatedSize());  // from the document's own bytes
    EXPECT_GT(*view->estimatedSize(), 0);
    EXPECT_FALSE(compressedLine(*view).contains("smaller"));
    // Saved from the document's own bytes.
    panels.saveAnswer = dir.filePath("doc.pdf");
    panels.confirmAnswer = true;
    view->saveCompressed();
    waitForSave(*view);
    EXPECT_EQ(firstLine(*PDFDocument::loadFromData(readBytes(panels.saveAnswer))->page(0)),
              firstLine(*PDFDocument::loadFromData(textPdf(1))->page(0)));
    EXPECT_EQ(dismissed, 1);
}

TEST_F(CompressDialogTest, ImagesEstimateFromOneAndSaveIntoFolderReportingFailures) {
    const QImage picture = detailedImage({120, 90}, true);
    QStringList urls;
    for (const char* name : {"a", "b", "c"}) urls << writeImage(dir.filePath(QString(name) + ".png"), picture, "png");
    auto tab = imageTab(urls);
    auto* context = qobject_cast<ImageDocumentContext*>(tab->context());
    auto single = dialog(tab.get());
    EXPECT_EQ(single->windowTitle(), "Compress Image");
    EXPECT_EQ(single->displayName(), "a.png");
    EXPECT_EQ(single->proposedFileName(), "a_compressed.jpeg");
    single->setImageFormat(ImageOutputFormat::png);
    EXPECT_FALSE(visibleSlider(*single, "Quality"));
    EXPECT_EQ(single->proposedFileName(), "a_compressed.png");
    single->setImageResolution(0.5);
    EXPECT_TRUE(compressedLine(*single).contains(QStringLiteral("120 × 90 → 60 × 45")));

    context->setSelectedImages({0, 1, 2});
    auto view = dialog(tab.get());
    EXPECT_EQ(view->displayName(), "3 Images");
    view->setImageQuality(0.5);
    waitForEstimate(*view);
    const ImageCompressionSettings settings{0.5, 1.0, ImageOutputFormat::jpeg};
    EXPECT_EQ(view->estimatedSize(),
              *CompressionService::estimateCompressedSize(qobject_cast<ImageDocumentModel*>(tab->content())->image(0), settings) * 3);

    // One file stops decoding after the collection was opened.
    writeBytes(urls[2], undecodablePng(120, 90));
    const QString out = dir.filePath("out");
    QDir().mkpath(out);
    panels.folderAnswer = out;
    QSignalSpy failed(view.get(), &CompressDialogView::compressionFailed);
    view->saveCompressed();
    waitForSave(*view);
    EXPECT_EQ(panels.folderAsked, 1);
    EXPECT_TRUE(QFileInfo::exists(out + "/a_compressed.jpeg") && QFileInfo::exists(out + "/b_compressed.jpeg"));
    EXPECT_FALSE(QFileInfo::exists(out + "/c_compressed.jpeg"));
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.at(0).at(0).toString().contains("c.png"));
    EXPECT_TRUE(view->messageText().contains("c.png"));
    EXPECT_EQ(dismissed, 0);
}

TEST_F(CompressDialogTest, WindowShowsSheetWhileContextAsksAndFailuresKeepItOpen) {
    auto tab = pdfTab(writeFile(dir, "a.pdf", textPdf(1)));
    auto* context = qobject_cast<PDFDocumentContext*>(tab->context());
    QWidget window;
    QWidget page(&window);  // the tab's page, on show
    QString failure;
    showCompressSheetWhenAsked(&page, tab.get(), &panels, [&](const QString& message) { failure = message; });
    EXPECT_EQ(window.findChild<CompressDialogView*>(), nullptr);
    context->setCompressSheetVisible(true);
    auto* sheet = window.findChild<CompressDialogView*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);

    // A write that fails leaves the sheet open with its message, also handed to the window.
    panels.saveAnswer = dir.filePath("missing/out.pdf");
    panels.confirmAnswer = true;
    sheet->saveCompressed();
    waitForSave(*sheet);
    EXPECT_EQ(failure, "Failed to save document: Could not write to out.pdf");
    EXPECT_EQ(sheet->messageText(), failure);
    EXPECT_TRUE(context->isCompressSheetVisible());

    button(*sheet, "Cancel")->click();
    EXPECT_FALSE(context->isCompressSheetVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window.findChild<CompressDialogView*>(), nullptr);
    page.hide();  // a page kept for a tab shown elsewhere
    context->setCompressSheetVisible(true);
    EXPECT_EQ(window.findChild<CompressDialogView*>(), nullptr);
}
