#include "image/ImageDocumentContext.h"
#include "image/ImageExportPresenter.h"
#include "image/codec/ImageCodec.h"
#include "pdf/engine/PDFEngine.h"
#include "support/ImageFactory.h"

#include <QDir>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// Answers the export questions as told (empty: cancelled) and records what was asked.
struct FakeExportPresenter : ImageExportPresenter {
    std::optional<QString> format;
    QString saveLocation, folder, proposedName;
    int formatAskedFor = -1, foldersAsked = 0;

    std::optional<QString> chooseFormat(int imageCount) override { return formatAskedFor = imageCount, format; }
    QString chooseSaveLocation(const QString& proposed) override { return proposedName = proposed, saveLocation; }
    QString chooseFolder() override { return ++foldersAsked, folder; }
};

// Prints into a PDF file of 500 × 700-point pages, as a printer would receive it.
struct PdfPrintPresenter : ImagePrintPresenter {
    QString path;
    std::unique_ptr<QPdfWriter> writer;
    int announcedPages = -1;
    std::optional<bool> completed;
    bool cancel = false;

    QPagedPaintDevice* beginPrinting(int pageCount) override {
        announcedPages = pageCount;
        if (cancel) return nullptr;
        writer = std::make_unique<QPdfWriter>(path);
        writer->setResolution(72);
        writer->setPageLayout(QPageLayout(QPageSize(QSizeF(500, 700), QPageSize::Point), QPageLayout::Portrait, QMarginsF()));
        return writer.get();
    }
    void endPrinting(bool ok) override {
        completed = ok;
        writer.reset();  // finishes the file
    }
};

QStringList filesIn(const QString& folder) { return QDir(folder).entryList(QDir::Files, QDir::Name); }

class ImageExportTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    FakeExportPresenter presenter;
    QString path(const QString& name) const { return dir.filePath(name); }
    QString sources(const QString& name) {
        QDir(dir.path()).mkpath(QStringLiteral("src"));
        return dir.filePath(QStringLiteral("src/") + name);
    }
};

}  // namespace

TEST_F(ImageExportTest, OneImageProposesItsNameAndWritesTheChosenFormat) {
    const QString heic = writeBytes(sources(QStringLiteral("photo.heic")), heicBytes(QSize(64, 48)));
    ImageDocumentModel model(heic);
    ImageDocumentContext context(&model);
    context.setExportPresenter(&presenter);
    presenter.format = QStringLiteral("png");
    presenter.saveLocation = path(QStringLiteral("out.png"));
    context.exportImages({0});
    EXPECT_EQ(presenter.proposedName, QStringLiteral("photo.png"));
    EXPECT_EQ(ImageCodec::probe(presenter.saveLocation).format, QStringLiteral("png"));

    // A write that fails is told as an export failure.
    QSignalSpy failures(&context, &DocumentContext::failureReported);
    presenter.saveLocation = path(QStringLiteral("missing folder/out.png"));
    context.exportImages({0});
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures.at(0).at(0).toString(), QStringLiteral("Failed to export: Could not write to out.png"));
}

TEST_F(ImageExportTest, SeveralImagesGoIntoTheFolderWithUniqueNamesAndCancellingWritesNothing) {
    // a.png and a.jpg both become a.jpeg: the second must not overwrite the first.
    const QString a1 = writeImage(sources(QStringLiteral("a.png")), QImage(quadrantImage(40, 20)), "png");
    QImage green(40, 20, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    const QString a2 = writeImage(sources(QStringLiteral("a.jpg")), green, "jpeg");
    const QString c = writeImage(sources(QStringLiteral("c.png")), quadrantImage(30, 30), "png");
    ImageDocumentModel model(QStringList{a1, a2, c});
    ImageDocumentContext context(&model);
    context.setExportPresenter(&presenter);
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    writeBytes(out + QStringLiteral("/c.jpeg"), "old file");  // replaced without a question

    // Cancelling any question writes nothing.
    presenter.folder = out;
    context.exportImages({0, 1});  // format question cancelled
    EXPECT_EQ(presenter.foldersAsked, 0);
    presenter.format = QStringLiteral("jpeg");
    presenter.folder.clear();
    context.exportImages({0, 1});  // folder chooser cancelled
    context.exportImages({1});     // save panel cancelled
    context.exportImages({});      // nothing to export: not even a question
    EXPECT_EQ(presenter.formatAskedFor, 1);
    EXPECT_EQ(filesIn(out), QStringList{"c.jpeg"});
    EXPECT_EQ(filesIn(dir.filePath(QStringLiteral("src"))), (QStringList{"a.jpg", "a.png", "c.png"}));

    presenter.folder = out;
    context.exportImages({2, 0, 1});
    EXPECT_EQ(presenter.formatAskedFor, 3);
    EXPECT_EQ(filesIn(out), (QStringList{"a 2.jpeg", "a.jpeg", "c.jpeg"}));
    // Index order decides who gets the plain name.
    const QImage first = ImageCodec::decode(out + QStringLiteral("/a.jpeg"));
    const QImage second = ImageCodec::decode(out + QStringLiteral("/a 2.jpeg"));
    EXPECT_TRUE(near(first.pixel(2, 2), qRgb(255, 0, 0), 60));
    EXPECT_TRUE(near(second.pixel(2, 2), qRgb(0, 200, 0), 60));
}

TEST_F(ImageExportTest, ExportsNeverOverwriteTheCollectionsFiles) {
    const QString b = writeImage(sources(QStringLiteral("b.jpeg")), quadrantImage(40, 20), "jpeg");
    const QString d = writeImage(sources(QStringLiteral("d.png")), quadrantImage(40, 20), "png");
    const QByteArray original = readBytes(b);
    ImageDocumentModel model(QStringList{b, d});
    ImageDocumentContext context(&model);
    context.setExportPresenter(&presenter);
    context.rotateImageAt(0, 90);  // the export carries the edited pixels
    presenter.format = QStringLiteral("jpeg");
    presenter.folder = QFileInfo(b).absolutePath();  // the sources' own folder
    context.exportImages({0, 1});
    EXPECT_EQ(readBytes(b), original);
    EXPECT_EQ(filesIn(presenter.folder), (QStringList{"b 2.jpeg", "b.jpeg", "d.jpeg", "d.png"}));
    EXPECT_EQ(ImageCodec::probe(presenter.folder + QStringLiteral("/b 2.jpeg")).pixelSize, QSize(20, 40));

    // The save panel's answer naming a source file (here through a link) is not taken literally.
    const QString link = dir.filePath(QStringLiteral("link.jpeg"));
    ASSERT_TRUE(QFile::link(b, link));
    presenter.saveLocation = link;
    context.exportImages({0});
    EXPECT_EQ(readBytes(b), original);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("link 2.jpeg"))));
}

TEST_F(ImageExportTest, PrintsOneFittedCentredImagePerPage) {
    QImage wide = quadrantImage(100, 50);
    const QString a = writeImage(sources(QStringLiteral("a.png")), wide, "png");
    const QString b = writeImage(sources(QStringLiteral("b.png")), quadrantImage(30, 60), "png");
    const QString c = writeImage(sources(QStringLiteral("c.png")), quadrantImage(10, 10), "png");
    ImageDocumentModel model(QStringList{a, b, c});
    ImageDocumentContext context(&model);
    PdfPrintPresenter printer;
    printer.path = path(QStringLiteral("print.pdf"));
    context.setPrintPresenter(&printer);
    context.printImage();
    EXPECT_EQ(printer.announcedPages, 3);
    ASSERT_TRUE(printer.completed.value_or(false));
    const auto pdf = PDFDocument::load(printer.path);
    ASSERT_EQ(pdf->pageCount(), 3);
    // Page 1: 100 × 50 on 500 × 700 is drawn 500 × 250 from y = 225 (red top-left quadrant,
    // blue bottom-right), white above and below.
    const QImage page = pdf->page(0)->render(1.0);
    ASSERT_EQ(page.size(), QSize(500, 700));
    EXPECT_EQ(inkBounds(page, {}, Qt::white, 10), QRect(0, 225, 500, 250));
    EXPECT_TRUE(near(page.pixel(120, 290), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(page.pixel(380, 410), qRgb(0, 0, 255)));
    // Page 3: a 10 × 10 image is enlarged to 500 × 500, from y = 100.
    const QImage last = pdf->page(2)->render(1.0);
    EXPECT_EQ(inkBounds(last, {}, Qt::white, 10), QRect(0, 100, 500, 500));
    EXPECT_TRUE(near(last.pixel(10, 590), qRgb(255, 255, 0)));
}

TEST_F(ImageExportTest, PrintsTheSelectionInOrderAndNothingWhenCancelled) {
    QStringList files;
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < 3; ++i) {
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(colours[i]);
        files << writeImage(sources(QStringLiteral("%1.png").arg(i)), image, "png");
    }
    ImageDocumentModel model(files);
    ImageDocumentContext context(&model);
    PdfPrintPresenter printer;
    printer.path = path(QStringLiteral("selection.pdf"));
    context.setPrintPresenter(&printer);
    context.setSelectedImages({2, 0});
    context.printImage();
    const auto pdf = PDFDocument::load(printer.path);
    ASSERT_EQ(pdf->pageCount(), 2);
    EXPECT_TRUE(near(pdf->page(0)->render(0.5).pixel(125, 175), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(pdf->page(1)->render(0.5).pixel(125, 175), qRgb(0, 0, 255)));

    PdfPrintPresenter cancelled;
    cancelled.cancel = true;
    cancelled.path = path(QStringLiteral("cancelled.pdf"));
    context.setPrintPresenter(&cancelled);
    context.printImage();
    EXPECT_EQ(cancelled.announcedPages, 2);
    EXPECT_FALSE(cancelled.completed);
    EXPECT_FALSE(QFileInfo::exists(cancelled.path));
}
