// Opening (good, locked, damaged inputs), rendering and writing whole documents.

#include "EngineTestUtil.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <thread>

#include <unistd.h>

namespace scrivola::testing {
namespace {

using Kind = PDFEngineError::Kind;

Kind loadKind(const QString& path) {
    try {
        PDFDocument::load(path);
    } catch (const PDFEngineError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "expected a load failure for " << path.toStdString();
    return Kind::operationFailed;
}

TEST(EngineLoad, OpensFilesUpdatesAndRepairsAndRefusesWhatItCannotRead) {
    QTemporaryDir dir;
    auto doc = PDFDocument::load(writeFile(dir, "three.pdf", textPdf(3)));
    ASSERT_EQ(doc->pageCount(), 3);
    EXPECT_FALSE(doc->wasRepaired());
    EXPECT_EQ(doc->page(3), nullptr);
    EXPECT_EQ(doc->page(-1), nullptr);
    EXPECT_EQ(firstLine(*doc->page(2)), "Page 3");

    auto updated = PDFDocument::loadFromData(incrementalUpdatePdf());
    ASSERT_EQ(updated->pageCount(), 2);
    EXPECT_EQ(updated->page(1)->text().plainText(), "Updated page");
    EXPECT_FALSE(updated->wasRepaired());

    auto repaired = PDFDocument::loadFromData(brokenXrefPdf(3));
    EXPECT_TRUE(repaired->wasRepaired());
    EXPECT_EQ(firstLine(*repaired->page(1)), "Page 2");

    if (geteuid() != 0) {  // root reads files regardless of their permission bits
        const QString locked = writeFile(dir, "locked.pdf", textPdf(1));
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        EXPECT_EQ(loadKind(locked), Kind::loadFailed);
    }
    EXPECT_THROW(PDFDocument::loadFromData({}), PDFEngineError);
    EXPECT_EQ(loadKind(writeFile(dir, "header.pdf", "%PDF-1.7\n%garbage\n")), Kind::corruptedFile);
}

TEST(EngineRender, SizeAndInkFollowScaleCropAndRotation) {
    auto doc = PDFDocument::loadFromData(textPdf(1));
    auto page = doc->page(0);
    EXPECT_EQ(page->render(0.5).size(), QSize(306, 396));
    EXPECT_TRUE(page->render(0).isNull());
    EXPECT_TRUE(page->render(200).isNull());  // beyond the bitmap size limit
    EXPECT_EQ(PDFDocument::loadFromData(croppedPage())->page(0)->render(1).size(), QSize(500, 640));
    const QRect ink = inkBounds(page->render(1));
    EXPECT_NEAR(ink.left(), 72, 3);
    EXPECT_NEAR(ink.top(), 72 - 9, 3);  // baseline 72 points from the top, cap height ~9
    page->setRotation(90);
    EXPECT_EQ(page->render(2).size(), QSize(1584, 1224));

    // Page point (72, 720) of the rotated offset page goes to image (720, 72) under a clockwise
    // quarter turn; the text runs downwards.
    const QImage turned = PDFDocument::loadFromData(rotatedOffsetPage())->page(0)->render(1);
    ASSERT_EQ(turned.size(), QSize(792, 612));
    const QRect turnedInk = inkBounds(turned);
    EXPECT_NEAR(turnedInk.top(), 72, 3);
    EXPECT_GT(turnedInk.left(), 700);
    EXPECT_GT(turnedInk.height(), turnedInk.width());
}

TEST(EngineRender, BandsMakeTheWholePictureWithoutCuttingAnImage) {
    PdfPageSpec spec;
    spec.lines = {{"Text across the edges of bands", {72, 700}, 30}};
    spec.content = picture(100, 300, 300, 200) + blackBar(50, 50, 400, 3);
    const auto list = PDFDocument::loadFromData(buildPdf({spec}))->page(0)->displayList();
    const QImage whole = list->render(1.5);
    // Copies a part's pixels into a red canvas of the whole picture's size at `at`.
    const auto paste = [&](QImage& canvas, const QImage& part, QPoint at) {
        if (canvas.isNull()) {
            canvas = QImage(whole.size(), QImage::Format_RGB32);
            canvas.fill(Qt::red);
        }
        for (int row = 0; row < part.height(); ++row)
            std::memcpy(canvas.scanLine(at.y() + row) + at.x() * 4, part.constScanLine(row), size_t(part.width()) * 4);
    };
    QImage joined;
    std::vector<std::pair<int, int>> bands;
    ASSERT_TRUE(list->renderBands(1.5, 40, [&](const QImage& band, int top) {
        EXPECT_EQ(band.width(), whole.width());
        paste(joined, band, QPoint(0, top));
        bands.emplace_back(top, top + band.height());
        return true;
    }));
    EXPECT_EQ(joined, whole);
    // The picture covers rows 438 to 738 at 1.5 pixels per point: one band holds all of them.
    EXPECT_TRUE(std::any_of(bands.begin(), bands.end(), [](auto b) { return b.first <= 438 && b.second >= 738; }));
    int calls = 0;
    EXPECT_FALSE(list->renderBands(1.5, 40, [&](const QImage&, int) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);

    // Tiles, clipped at the picture's edges, make the same picture.
    QImage tiled;
    for (int y = 0; y < whole.height(); y += 256)
        for (int x = 0; x < whole.width(); x += 256) {
            const QImage tile = list->renderArea(1.5, QRect(x, y, 256, 256));
            ASSERT_EQ(tile.size(), QRect(x, y, 256, 256).intersected(whole.rect()).size());
            paste(tiled, tile, QPoint(x, y));
        }
    EXPECT_EQ(tiled, whole);
    EXPECT_TRUE(list->renderArea(1.5, QRect(whole.width(), 0, 10, 10)).isNull());  // beside the picture
    // At 30 pixels per point the whole page would need 1.7 GB; a tile of it is fine.
    EXPECT_EQ(list->renderArea(30, QRect(5000, 5000, 256, 256)).size(), QSize(256, 256));
    PDFCancelToken cancelled;
    cancelled.cancel();
    EXPECT_TRUE(list->renderArea(1.5, QRect(0, 0, 64, 64), &cancelled).isNull());
}

TEST(EngineRender, DisplayListFromTwoThreadsMatchesMainThread) {
    auto doc = PDFDocument::loadFromData(textPdf(2));
    auto page = doc->page(1);
    page->addAnnotation(PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(70, 700, 100, 40)));
    const QImage reference = page->render(1.5);
    auto list = page->displayList();
    ASSERT_TRUE(list);
    QImage results[2];
    std::thread a([&] { results[0] = list->render(1.5); });
    std::thread b([&] { results[1] = list->render(1.5); });
    a.join();
    b.join();
    EXPECT_EQ(results[0], reference);
    EXPECT_EQ(results[1], reference);
    // Highlight drawn in yellow (multiplied over white), and only with annotations.
    const QColor c = reference.pixelColor(int(120 * 1.5), int((792 - 710) * 1.5));
    EXPECT_GT(c.red(), 200);
    EXPECT_LT(c.blue(), 100);
    EXPECT_NE(page->render(1.5, false), reference);
}

TEST(EngineWrite, OptionsAndOriginalBytesUntilAnEdit) {
    const QByteArray pdf = textPdf(3);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "three.pdf", pdf);
    auto doc = PDFDocument::load(path);
    PDFWriteOptions options;
    options.creator = "Scrivola";
    options.compressStreams = false;
    const QByteArray plain = doc->writeToBuffer(options);
    EXPECT_TRUE(plain.contains("/Creator (Scrivola)") || plain.contains("/Creator(Scrivola)"));
    EXPECT_TRUE(plain.contains("Page 2"));
    EXPECT_FALSE(doc->writeToBuffer().contains("Page 2"));

    // The bytes opened, even once the file itself has changed, until the first edit.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(writeFile(dir, "three.pdf", textPdf(1)), path);
    EXPECT_EQ(doc->originalBytes(), pdf);
    doc->page(1)->setRotation(90);
    EXPECT_FALSE(doc->originalBytes().has_value());
    EXPECT_FALSE(PDFDocument::createEmpty()->originalBytes().has_value());
}

TEST(EngineWrite, FailedWriteLeavesTargetUntouched) {
    QTemporaryDir dir;
    auto doc = PDFDocument::loadFromData(textPdf(1));
    EXPECT_FALSE(doc->write(dir.filePath("no/such/folder/out.pdf")));
    EXPECT_FALSE(doc->write(dir.path()));  // a folder
    EXPECT_FALSE(doc->write(QString()));
    const QByteArray original = textPdf(3);
    const QString target = writeFile(dir, "target.pdf", original);
    EXPECT_FALSE(doc->write(target + "/inside"));  // a file is no folder
    EXPECT_EQ(readBytes(target), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no temporary left behind
}

}  // namespace
}  // namespace scrivola::testing
