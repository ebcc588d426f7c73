// Page identity, page-tree edits, copies between documents, boxes and rotation.

#include "EngineTestUtil.h"

#include <QBuffer>

namespace scrivola::testing {
namespace {

TEST(EnginePages, RemovedPageStaysUsableAndReinsertsAsTheSameObject) {
    auto doc = PDFDocument::loadFromData(textPdf(4));
    auto page = doc->page(1);
    auto note = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(72, 700, 100, 14));
    page->addAnnotation(note);
    page->setRotation(90);

    EXPECT_EQ(doc->page(1), page);  // the same object on every call
    EXPECT_EQ(page->document(), doc);
    auto last = doc->page(3);
    doc->removePage(1);
    EXPECT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(doc->index(*page), -1);
    EXPECT_EQ(doc->index(*last), 2);  // the index follows edits
    EXPECT_EQ(PDFDocument::loadFromData(textPdf(1))->index(*last), -1);
    EXPECT_EQ(firstLine(*doc->page(1)), "Page 3");
    // Still a working page while out of the document.
    EXPECT_EQ(page->bounds(), QRectF(0, 0, 612, 792));
    EXPECT_EQ(page->rotation(), 90);
    EXPECT_EQ(firstLine(*page), "Page 2");
    EXPECT_EQ(page->render(0.5).size(), QSize(396, 306));
    ASSERT_EQ(page->annotations().size(), 1u);
    EXPECT_EQ(page->annotations().front(), note);
    EXPECT_EQ(doc->pageCount(), 3);  // rendering a removed page does not put it back

    EXPECT_EQ(doc->insertPage(page, 1), page);
    EXPECT_EQ(doc->page(1), page);
    EXPECT_EQ(page->annotations().front(), note);

    // The saved file has the page back in place with its annotation.
    auto reopened = PDFDocument::loadFromData(doc->writeToBuffer());
    ASSERT_EQ(reopened->pageCount(), 4);
    EXPECT_EQ(firstLine(*reopened->page(1)), "Page 2");
    EXPECT_EQ(reopened->page(1)->rotation(), 90);
    ASSERT_EQ(reopened->page(1)->annotations().size(), 1u);
    EXPECT_EQ(reopened->page(1)->annotations().front()->type(), "Highlight");
}

TEST(EnginePages, RemovedPagesDoNotSurviveInTheSavedFile) {
    auto doc = PDFDocument::loadFromData(textPdf(3, [](int i) { return QStringList{QStringLiteral("Unique%1").arg(i)}; }));
    doc->removePage(1);
    PDFWriteOptions options;
    options.compressStreams = false;
    const QByteArray bytes = doc->writeToBuffer(options);
    EXPECT_FALSE(bytes.contains("Unique1"));
    EXPECT_TRUE(bytes.contains("Unique2"));
}

TEST(EnginePages, PageFromAnotherDocumentIsCopiedWithItsAnnotations) {
    auto source = PDFDocument::loadFromData(rotatedOffsetPage());
    auto sourcePage = source->page(0);
    auto mark = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, QRectF(10, 20, 150, 30));
    mark->setContents("Copied note");
    mark->setBoolValue("ScrivolaUL", true);
    sourcePage->addAnnotation(mark);

    auto target = PDFDocument::loadFromData(textPdf(2));
    auto copy = target->insertPage(sourcePage, 1);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, sourcePage);
    EXPECT_EQ(target->pageCount(), 3);
    EXPECT_EQ(target->page(1), copy);
    EXPECT_EQ(copy->rotation(), 90);
    EXPECT_EQ(copy->bounds(), QRectF(0, 0, 612, 792));
    EXPECT_EQ(firstLine(*copy), "Rotated offset page");
    ASSERT_EQ(copy->annotations().size(), 1u);
    auto copiedMark = copy->annotations().front();
    EXPECT_NE(copiedMark, mark);
    EXPECT_EQ(copiedMark->contents(), "Copied note");
    EXPECT_EQ(copiedMark->boolValue("ScrivolaUL"), true);
    expectRectNear(copiedMark->bounds(), QRectF(10, 20, 150, 30));
    // The source is untouched.
    EXPECT_EQ(source->pageCount(), 1);
    EXPECT_EQ(sourcePage->annotations().front(), mark);

    auto saved = PDFDocument::loadFromData(target->writeToBuffer());
    EXPECT_EQ(firstLine(*saved->page(1)), "Rotated offset page");
    EXPECT_EQ(saved->page(1)->annotations().size(), 1u);
}

TEST(EnginePages, DataRepresentationIsAOnePagePdf) {
    auto doc = PDFDocument::loadFromData(textPdf(3));
    auto page = doc->page(2);
    page->setRotation(270);
    auto mark = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(72, 700, 80, 14));
    page->addAnnotation(mark);
    auto single = PDFDocument::loadFromData(page->dataRepresentation());
    ASSERT_EQ(single->pageCount(), 1);
    EXPECT_EQ(firstLine(*single->page(0)), "Page 3");
    EXPECT_EQ(single->page(0)->rotation(), 270);
    EXPECT_EQ(single->page(0)->annotations().size(), 1u);
    EXPECT_EQ(doc->pageCount(), 3);
}

TEST(EnginePages, BoxesAreInPageSpaceAndClipped) {
    auto cropped = PDFDocument::loadFromData(croppedPage())->page(0);
    EXPECT_EQ(cropped->bounds(PDFBox::mediaBox), QRectF(0, 0, 612, 792));
    EXPECT_EQ(cropped->bounds(PDFBox::cropBox), QRectF(50, 60, 500, 640));
    EXPECT_EQ(cropped->bounds(PDFBox::trimBox), QRectF(50, 60, 500, 640));  // defaults to the crop box
    EXPECT_EQ(cropped->rotatedSize(), QSizeF(500, 640));

    auto offset = PDFDocument::loadFromData(rotatedOffsetPage())->page(0);
    EXPECT_EQ(offset->bounds(PDFBox::mediaBox), QRectF(0, 0, 612, 792));
    EXPECT_EQ(offset->bounds(PDFBox::cropBox), QRectF(0, 0, 612, 792));
    EXPECT_EQ(offset->rotatedSize(), QSizeF(792, 612));

    // A crop box reaching outside the media box is clipped to it.
    PdfPageSpec spec;
    spec.cropBox = QRectF(-50, -50, 400, 400);
    auto clipped = PDFDocument::loadFromData(buildPdf({spec}))->page(0);
    EXPECT_EQ(clipped->bounds(PDFBox::cropBox), QRectF(0, 0, 350, 350));
}

TEST(EnginePages, RotationIsNormalised) {
    auto doc = PDFDocument::loadFromData(textPdf(1));
    auto page = doc->page(0);
    page->setRotation(-90);
    EXPECT_EQ(page->rotation(), 270);
    page->setRotation(450);
    EXPECT_EQ(page->rotation(), 90);
    page->setRotation(page->rotation() + 270);
    EXPECT_EQ(page->rotation(), 0);
    page->setRotation(180);
    EXPECT_EQ(PDFDocument::loadFromData(doc->writeToBuffer())->page(0)->rotation(), 180);
}

TEST(EnginePages, BlankAndImagePages) {
    auto doc = PDFDocument::createEmpty();
    EXPECT_EQ(doc->pageCount(), 0);
    auto blank = doc->insertBlankPage(QSizeF(300, 400), 0);
    EXPECT_EQ(blank->bounds(), QRectF(0, 0, 300, 400));
    EXPECT_THROW(doc->insertBlankPage(QSizeF(0, 100), 0), PDFEngineError);

    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(QColor(200, 30, 30));
    auto encode = [&](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, format, 90);
        return bytes;
    };
    const QByteArray jpeg = encode("JPEG"), png = encode("PNG");
    auto jpegPage = doc->appendImagePage(jpeg, QSizeF(200, 100));
    auto pngPage = doc->appendImagePage(png, QSizeF(200, 100));
    EXPECT_EQ(doc->pageCount(), 3);
    EXPECT_EQ(doc->index(*pngPage), 2);
    EXPECT_THROW(doc->appendImagePage("not an image", QSizeF(10, 10)), PDFEngineError);
    EXPECT_EQ(doc->pageCount(), 3);

    // The page is filled by the image.
    const QImage rendered = pngPage->render(1);
    ASSERT_EQ(rendered.size(), QSize(200, 100));
    const QColor center = rendered.pixelColor(100, 50);
    EXPECT_NEAR(center.red(), 200, 3);
    EXPECT_NEAR(center.green(), 30, 3);
    EXPECT_NEAR(jpegPage->render(1).pixelColor(5, 5).red(), 200, 12);

    // The JPEG bytes are stored as they came, as a DCTDecode stream.
    PDFWriteOptions options;
    options.compressImages = false;
    const QByteArray saved = doc->writeToBuffer(options);
    EXPECT_TRUE(saved.contains("/DCTDecode"));
    EXPECT_TRUE(saved.contains(jpeg));
    EXPECT_EQ(PDFDocument::loadFromData(saved)->pageCount(), 3);
}

}  // namespace
}  // namespace scrivola::testing
