// Page identity, page-tree edits, copies between documents and into exports, boxes and rotation.

#include "EngineTestUtil.h"

#include "pdf/engine/PDFSaving.h"

#include <QBuffer>

namespace scrivola::testing {
namespace {

TEST(EnginePages, RemovedPageStaysUsableAndReinsertsAsTheSameObject) {
    auto doc = PDFDocument::loadFromData(textPdf(4));
    auto page = doc->page(1);
    auto note = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, QRectF(72, 700, 100, 14));
    page->addAnnotation(note);
    page->setRotation(-270);
    EXPECT_EQ(page->rotation(), 90);  // normalised

    EXPECT_EQ(doc->page(1), page);  // the same object on every call
    auto last = doc->page(3);
    doc->removePage(1);
    EXPECT_EQ(doc->index(*page), -1);
    EXPECT_EQ(doc->index(*last), 2);  // the index follows edits
    EXPECT_EQ(firstLine(*doc->page(1)), "Page 3");
    // Still a working page while out of the document.
    EXPECT_EQ(firstLine(*page), "Page 2");
    EXPECT_EQ(page->render(0.5).size(), QSize(396, 306));
    EXPECT_EQ(page->annotations(), std::vector<PDFAnnotationPtr>{note});
    EXPECT_EQ(doc->pageCount(), 3);  // rendering a removed page does not put it back

    EXPECT_EQ(doc->insertPage(page, 1), page);
    EXPECT_EQ(doc->page(1), page);
    auto reopened = PDFDocument::loadFromData(doc->writeToBuffer());
    ASSERT_EQ(reopened->pageCount(), 4);
    EXPECT_EQ(firstLine(*reopened->page(1)), "Page 2");
    EXPECT_EQ(reopened->page(1)->rotation(), 90);
    ASSERT_EQ(reopened->page(1)->annotations().size(), 1u);
    EXPECT_EQ(reopened->page(1)->annotations().front()->type(), "Highlight");
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
    EXPECT_EQ(target->page(1), copy);
    EXPECT_EQ(copy->rotation(), 90);
    EXPECT_EQ(firstLine(*copy), "Rotated offset page");
    ASSERT_EQ(copy->annotations().size(), 1u);
    auto copiedMark = copy->annotations().front();
    EXPECT_NE(copiedMark, mark);
    EXPECT_EQ(copiedMark->contents(), "Copied note");
    EXPECT_EQ(copiedMark->boolValue("ScrivolaUL"), true);
    expectRectNear(copiedMark->bounds(), QRectF(10, 20, 150, 30));
    EXPECT_EQ(sourcePage->annotations().front(), mark);  // the source is untouched

    auto saved = PDFDocument::loadFromData(target->writeToBuffer());
    EXPECT_EQ(firstLine(*saved->page(1)), "Rotated offset page");
    EXPECT_EQ(saved->page(1)->annotations().size(), 1u);

    // A page's data representation is a one-page PDF of it.
    auto single = PDFDocument::loadFromData(copy->dataRepresentation());
    ASSERT_EQ(single->pageCount(), 1);
    EXPECT_EQ(firstLine(*single->page(0)), "Rotated offset page");
    EXPECT_EQ(single->page(0)->rotation(), 90);
    EXPECT_EQ(single->page(0)->annotations().size(), 1u);
}

// Boxes are in page space (media box origin at 0, 0); a missing trim box is the crop box, and a
// crop box reaching outside the media box is clipped to it.
TEST(EnginePages, BoxesAreInPageSpaceAndClipped) {
    auto cropped = PDFDocument::loadFromData(croppedPage())->page(0);
    EXPECT_EQ(cropped->bounds(PDFBox::trimBox), QRectF(50, 60, 500, 640));
    EXPECT_EQ(PDFDocument::loadFromData(rotatedOffsetPage())->page(0)->rotatedSize(), QSizeF(792, 612));
    PdfPageSpec spec;
    spec.cropBox = QRectF(-50, -50, 400, 400);
    EXPECT_EQ(PDFDocument::loadFromData(buildPdf({spec}))->page(0)->bounds(PDFBox::cropBox), QRectF(0, 0, 350, 350));
}

TEST(EnginePages, BlankAndImagePages) {
    auto doc = PDFDocument::createEmpty();
    EXPECT_EQ(doc->insertBlankPage(QSizeF(300, 400), 0)->bounds(), QRectF(0, 0, 300, 400));
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
    const QByteArray jpeg = encode("JPEG");
    auto jpegPage = doc->appendImagePage(jpeg, QSizeF(200, 100));
    auto pngPage = doc->appendImagePage(encode("PNG"), QSizeF(200, 100));
    EXPECT_EQ(doc->index(*pngPage), 2);
    EXPECT_THROW(doc->appendImagePage("not an image", QSizeF(10, 10)), PDFEngineError);
    EXPECT_EQ(doc->pageCount(), 3);
    const QImage rendered = pngPage->render(1);  // the page is filled by the image
    ASSERT_EQ(rendered.size(), QSize(200, 100));
    EXPECT_TRUE(sameColour(rendered.pixelColor(100, 50), QColor(200, 30, 30), 3));
    EXPECT_NEAR(jpegPage->render(1).pixelColor(5, 5).red(), 200, 12);

    // The JPEG bytes are stored as they came, as a DCTDecode stream.
    PDFWriteOptions options;
    options.compressImages = false;
    const QByteArray saved = doc->writeToBuffer(options);
    EXPECT_TRUE(saved.contains("/DCTDecode"));
    EXPECT_TRUE(saved.contains(jpeg));
}

// Three 300-point pages. Page 2 holds a filled text field (a widget under a parent field that
// has another widget on page 1), a link to page 3 and a link to page 1 through a named
// destination. The outline: "One" -> 1, "Part" (no target) with "Two" -> 2, "Three" -> 3 (named).
QByteArray interactivePdf() {
    const QByteArray box = "<< /Type /XObject /Subtype /Form /BBox [0 0 100 20] /Length 19 >>\nstream\n0 g 0 0 100 20 re f\nendstream";
    return assemblePdf({
        "<< /Type /Catalog /Pages 2 0 R /Outlines 10 0 R /Names << /Dests 15 0 R >>"
        " /AcroForm << /Fields [16 0 R] /DA (/Helv 0 Tf 0 g) /NeedAppearances false >> >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Annots [17 0 R] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] /Annots [7 0 R 8 0 R 9 0 R] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 300] >>",
        box,
        "<< /Type /Annot /Subtype /Widget /Parent 16 0 R /Rect [50 200 150 220] /P 4 0 R /AP << /N 6 0 R >> /F 4 >>",
        "<< /Type /Annot /Subtype /Link /Rect [50 100 150 120] /Border [0 0 0] /Dest [5 0 R /XYZ 0 300 0] >>",
        "<< /Type /Annot /Subtype /Link /Rect [50 50 150 70] /Border [0 0 0] /A << /S /GoTo /D (first) >> >>",
        "<< /Type /Outlines /First 11 0 R /Last 13 0 R /Count 3 >>",
        "<< /Title (One) /Parent 10 0 R /Next 12 0 R /Dest [3 0 R /Fit] >>",
        "<< /Title (Part) /Parent 10 0 R /Prev 11 0 R /Next 13 0 R /First 14 0 R /Last 14 0 R /Count 1 >>",
        "<< /Title (Three) /Parent 10 0 R /Prev 12 0 R /Dest (third) >>",
        "<< /Title (Two) /Parent 12 0 R /Dest [4 0 R /Fit] >>",
        "<< /Names [(first) [3 0 R /Fit] (third) [5 0 R /Fit]] >>",
        "<< /FT /Tx /T (person) /V (Alice Example) /Kids [7 0 R 17 0 R] >>",
        "<< /Type /Annot /Subtype /Widget /Parent 16 0 R /Rect [50 200 150 220] /P 3 0 R /AP << /N 6 0 R >> /F 4 >>",
    });
}

std::vector<int> linkTargets(const PDFPage& page) {
    std::vector<int> targets;
    for (const PDFLink& link : page.links()) targets.push_back(link.pageIndex);
    return targets;
}

QString outlineText(const std::vector<PDFOutlineItem>& items) {
    QStringList parts;
    for (const PDFOutlineItem& item : items) {
        QString part = item.title + QStringLiteral("->%1").arg(item.pageIndex);
        if (!item.children.empty()) part += QStringLiteral("(") + outlineText(item.children) + QStringLiteral(")");
        parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

TEST(EngineExport, ExportedPagesKeepFieldsLinksAndOutlineEntriesThatLeadToThem) {
    const auto source = PDFDocument::loadFromData(interactivePdf());
    EXPECT_EQ(linkTargets(*source->page(1)), (std::vector<int>{2, 0}));
    EXPECT_EQ(outlineText(source->outline()), QStringLiteral("One->0 Part->-1(Two->1) Three->2"));

    // Written and read back, as the export does.
    const auto reopened = PDFDocument::loadFromData(PDFSaving::copyPages(*source, {1, 2})->writeToBuffer());
    ASSERT_EQ(reopened->pageCount(), 2);
    const PDFPagePtr page = reopened->page(0);
    EXPECT_EQ(linkTargets(*page), std::vector<int>{1}) << "the link to the page left out is gone";
    EXPECT_EQ(page->links().front().bounds, QRectF(50, 100, 100, 20));
    EXPECT_EQ(outlineText(reopened->outline()), QStringLiteral("Part->-1(Two->0) Three->1"));
    std::vector<QString> types;
    for (const PDFAnnotationPtr& annotation : page->annotations()) types.push_back(annotation->type());
    EXPECT_EQ(types, (std::vector<QString>{QStringLiteral("Widget"), QStringLiteral("Link")}));
    const QByteArray bytes = plainBytes(*reopened);
    EXPECT_TRUE(bytes.contains("/AcroForm"));
    EXPECT_TRUE(bytes.contains("(Alice Example)"));
    EXPECT_TRUE(bytes.contains("(person)"));
    EXPECT_EQ(bytes.count("/Subtype /Widget") + bytes.count("/Subtype/Widget"), 1) << "the widget of page 1 stays behind";
    // The field's appearance is drawn: the black box at (50, 200)-(150, 220).
    EXPECT_LT(qGray(page->render(1.0).pixel(100, 300 - 210)), 60);
    EXPECT_EQ(outlineText(source->outline()), QStringLiteral("One->0 Part->-1(Two->1) Three->2"));  // source untouched
}

// A page tree entry that points at a missing object, or is not a dictionary, makes a page that
// shows as an empty page of the document's size, with no text and no annotations.
TEST(EngineExport, PagesThatCannotLoadAreEmptyPagesOfTheDefaultSize) {
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] >>";
    for (const char* list : {"[3 0 R 99 0 R]", "[99 0 R 3 0 R]", "[3 0 R 42]", "[3 0 R [1 2]]"}) {
        SCOPED_TRACE(list);
        PDFDocumentPtr doc;
        try {
            doc = PDFDocument::loadFromData(assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                                         QByteArray("<< /Type /Pages /Kids ") + list + " /Count 2 >>", page}));
        } catch (const PDFEngineError&) {
            continue;  // refusing the file is fine too; crashing is not
        }
        for (int i = 0; i < doc->pageCount(); ++i) {
            const PDFPagePtr p = doc->page(i);
            if (!p) continue;
            const auto display = p->displayList();
            ASSERT_TRUE(display);
            EXPECT_EQ(display->rotatedSize(), QSizeF(300, 400));
            EXPECT_FALSE(display->render(0.5).isNull());
            p->text();
            p->annotations();
            p->links();
        }
        doc->outline();
    }
}

}  // namespace
}  // namespace scrivola::testing
