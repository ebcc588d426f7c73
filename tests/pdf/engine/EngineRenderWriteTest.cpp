// Rendering (sizes, rotation, threads) and writing (atomic replace, saving over the open file).

#include "EngineTestUtil.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <thread>

namespace scrivola::testing {
namespace {

TEST(EngineRender, SizeAndInkFollowScaleCropAndRotation) {
    auto doc = PDFDocument::loadFromData(textPdf(1));
    auto page = doc->page(0);
    EXPECT_EQ(page->render(1).size(), QSize(612, 792));
    EXPECT_EQ(page->render(0.5).size(), QSize(306, 396));
    page->setRotation(90);
    EXPECT_EQ(page->render(2).size(), QSize(1584, 1224));
    EXPECT_TRUE(page->render(0).isNull());
    EXPECT_TRUE(page->render(-1).isNull());
    EXPECT_TRUE(page->render(200).isNull());  // beyond the bitmap size limit
    auto cropped = PDFDocument::loadFromData(croppedPage())->page(0);
    EXPECT_EQ(cropped->render(1).size(), QSize(500, 640));

    // White background, dark text at the top-left of an unrotated page.
    page->setRotation(0);
    const QImage image = page->render(1);
    EXPECT_EQ(image.pixelColor(600, 780), QColor(Qt::white));
    const QRect ink = inkBounds(image);
    EXPECT_NEAR(ink.left(), 72, 3);
    EXPECT_NEAR(ink.top(), 72 - 9, 3);  // baseline 72 points from the top, cap height ~9

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
    QImage joined(whole.size(), QImage::Format_RGB32);
    joined.fill(Qt::red);
    std::vector<std::pair<int, int>> bands;
    ASSERT_TRUE(list->renderBands(1.5, 40, [&](const QImage& band, int top) {
        EXPECT_EQ(band.width(), whole.width());
        for (int y = 0; y < band.height(); ++y)
            std::memcpy(joined.scanLine(top + y), band.constScanLine(y), size_t(band.bytesPerLine()));
        bands.emplace_back(top, top + band.height());
        return true;
    }));
    EXPECT_EQ(joined, whole);
    // The picture covers rows 438 to 738 at 1.5 pixels per point: one band holds all of them.
    EXPECT_TRUE(std::any_of(bands.begin(), bands.end(), [](auto b) { return b.first <= 438 && b.second >= 738; }));
    int calls = 0;
    EXPECT_FALSE(list->renderBands(1.5, 40, [&](const QImage&, int) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

TEST(EngineRender, ZeroSizedPageRendersNothing) {
    PdfPageSpec spec;
    spec.mediaBox = QRectF(0, 0, 0, 0);
    spec.cropBox = QRectF(10, 10, 0, 0);
    try {
        auto doc = PDFDocument::loadFromData(buildPdf({spec}));
        auto page = doc->page(0);
        ASSERT_TRUE(page);
        page->render(1);  // a default-sized or null image; never a crash or a division by zero
        page->rotatedSize();
    } catch (const PDFEngineError&) {
    }
}

TEST(EngineRender, DisplayListFromTwoThreadsMatchesMainThread) {
    auto doc = PDFDocument::loadFromData(textPdf(2));
    auto page = doc->page(1);
    auto mark = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(70, 700, 100, 40));
    page->addAnnotation(mark);
    const QImage reference = page->render(1.5);
    ASSERT_FALSE(reference.isNull());
    auto list = page->displayList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->rotatedSize(), QSizeF(612, 792));
    QImage results[2];
    std::thread a([&] { results[0] = list->render(1.5); });
    std::thread b([&] { results[1] = list->render(1.5); });
    a.join();
    b.join();
    EXPECT_EQ(results[0], reference);
    EXPECT_EQ(results[1], reference);
    // Highlight drawn in yellow (multiplied over white).
    const QColor c = reference.pixelColor(int(120 * 1.5), int((792 - 710) * 1.5));
    EXPECT_GT(c.red(), 200);
    EXPECT_LT(c.blue(), 100);
    EXPECT_NE(page->render(1.5, false), reference);
}

TEST(EngineWrite, CreatorAndCompressionOptions) {
    auto doc = PDFDocument::loadFromData(textPdf(2));
    PDFWriteOptions options;
    options.creator = "Scrivola";
    options.compressStreams = false;
    const QByteArray plain = doc->writeToBuffer(options);
    EXPECT_TRUE(plain.contains("/Creator (Scrivola)") || plain.contains("/Creator(Scrivola)"));
    EXPECT_TRUE(plain.contains("Page 2"));
    options.compressStreams = true;
    EXPECT_FALSE(doc->writeToBuffer(options).contains("Page 2"));
}

TEST(EngineWrite, OriginalBytesAreTheOpenedBytesUntilAnEdit) {
    const QByteArray pdf = textPdf(3);
    EXPECT_EQ(PDFDocument::loadFromData(pdf)->originalBytes(), pdf);
    QTemporaryDir dir;
    const QString path = writeFile(dir, "three.pdf", pdf);
    auto document = PDFDocument::load(path);
    // The bytes opened, even once the file itself has changed.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(writeFile(dir, "three.pdf", textPdf(1)), path);
    EXPECT_EQ(document->originalBytes(), pdf);
    document->page(1)->setRotation(90);
    EXPECT_FALSE(document->originalBytes().has_value());
    EXPECT_FALSE(PDFDocument::createEmpty()->originalBytes().has_value());
}

TEST(EngineWrite, FailedWriteLeavesTargetUntouched) {
    QTemporaryDir dir;
    auto doc = PDFDocument::loadFromData(textPdf(1));
    EXPECT_FALSE(doc->write(dir.filePath("no/such/folder/out.pdf")));
    EXPECT_FALSE(doc->write(dir.path()));  // a folder
    EXPECT_FALSE(doc->write(QString()));
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());

    const QByteArray original = textPdf(3);
    const QString target = writeFile(dir, "target.pdf", original);
    EXPECT_FALSE(doc->write(target + "/inside"));  // a file is no folder
    EXPECT_EQ(readBytes(target), original);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no temporary left behind
}

TEST(EngineWrite, SavingOverTheOpenFileKeepsTheDocumentWorking) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "doc.pdf", textPdf(6));
    auto doc = PDFDocument::load(path);
    auto page3 = doc->page(3);
    auto box = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, QRectF(100, 100, 200, 30));
    box->setContents("First save");
    page3->addAnnotation(box);
    doc->removePage(1);

    PDFWriteOptions thorough;
    thorough.garbage = 3;
    ASSERT_TRUE(doc->write(path, thorough));
    // The open document still reads, renders and edits.
    EXPECT_EQ(doc->pageCount(), 5);
    EXPECT_EQ(doc->page(2), page3);
    EXPECT_EQ(page3->text().blocks.front().lines.front().text, "Page 4");
    EXPECT_FALSE(inkBounds(doc->page(4)->render(0.5)).isNull());
    EXPECT_EQ(page3->annotations().front(), box);
    box->setContents("Second save");
    doc->page(0)->setRotation(90);
    auto second = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(72, 700, 50, 12));
    doc->page(4)->addAnnotation(second);
    ASSERT_TRUE(doc->write(path, thorough));

    auto reopened = PDFDocument::load(path);
    ASSERT_EQ(reopened->pageCount(), 5);
    EXPECT_EQ(reopened->page(0)->rotation(), 90);
    EXPECT_EQ(reopened->page(1)->text().blocks.front().lines.front().text, "Page 3");
    ASSERT_EQ(reopened->page(2)->annotations().size(), 1u);
    EXPECT_EQ(reopened->page(2)->annotations().front()->contents(), "Second save");
    EXPECT_EQ(reopened->page(4)->annotations().size(), 1u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

}  // namespace
}  // namespace scrivola::testing
