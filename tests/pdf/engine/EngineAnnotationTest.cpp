// Annotations: identity, detaching and restoring, properties, coordinates and saving.

#include "EngineTestUtil.h"

namespace scrivola::testing {
namespace {

using Subtype = PDFAnnotation::Subtype;

TEST(EngineAnnotations, SameObjectsInPageOrderAndRemovalKeepsOthersOrder) {
    auto doc = PDFDocument::loadFromData(textPdf(1));
    auto page = doc->page(0);
    std::vector<PDFAnnotationPtr> created;
    for (int i = 0; i < 3; ++i) {
        created.push_back(PDFAnnotation::create(Subtype::freeText, QRectF(50, 100 + 50 * i, 100, 20)));
        created.back()->setContents(QStringLiteral("Box %1").arg(i));
        page->addAnnotation(created.back());
    }
    EXPECT_EQ(page->annotations(), created);
    page->removeAnnotation(created[1]);
    EXPECT_EQ(page->annotations(), (std::vector<PDFAnnotationPtr>{created[0], created[2]}));
    EXPECT_EQ(created[1]->page(), nullptr);
    // Back on its page, an annotation takes its old place, whatever order annotations are taken
    // off and put back in, and after a stay on another page.
    page->addAnnotation(created[1]);
    EXPECT_EQ(page->annotations(), created);
    for (auto it = created.rbegin(); it != created.rend(); ++it) page->removeAnnotation(*it);
    for (auto it = created.rbegin(); it != created.rend(); ++it) page->addAnnotation(*it);
    EXPECT_EQ(page->annotations(), created);
    auto other = doc->insertBlankPage(QSizeF(612, 792), 1);
    other->addAnnotation(created[0]);
    EXPECT_EQ(page->annotations(), (std::vector<PDFAnnotationPtr>{created[1], created[2]}));
    EXPECT_EQ(other->annotations(), (std::vector<PDFAnnotationPtr>{created[0]}));
    page->addAnnotation(created[0]);
    EXPECT_EQ(page->annotations(), created);
    doc->removePage(1);

    // Loaded annotations keep their identity too.
    auto reopened = PDFDocument::loadFromData(doc->writeToBuffer());
    auto first = reopened->page(0)->annotations();
    EXPECT_EQ(reopened->page(0)->annotations(), first);
    EXPECT_EQ(first.at(2)->contents(), "Box 2");
}

TEST(EngineAnnotations, RemoveAndAddBackRestoresEverything) {
    // A file with an annotation carrying a name, dates, author, flags, a popup and a reply.
    const QByteArray out = assemblePdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [4 0 R] /Count 1 >>",
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 5 0 R /Annots [6 0 R 7 0 R 8 0 R] >>",
         "<< /Length 0 >>\nstream\n\nendstream",
         "<< /Type /Annot /Subtype /Text /Rect [100 600 120 620] /NM (note-1) /T (Ann Author) /M (D:20240101120000Z) "
         "/CreationDate (D:20231231120000Z) /F 28 /Contents (Hello) /Popup 7 0 R /P 4 0 R >>",
         "<< /Type /Annot /Subtype /Popup /Rect [130 560 300 640] /Parent 6 0 R /P 4 0 R >>",
         "<< /Type /Annot /Subtype /Text /Rect [100 500 120 520] /IRT 6 0 R /Contents (Reply) /P 4 0 R >>"});
    auto doc = PDFDocument::loadFromData(out);
    auto page = doc->page(0);
    auto annotations = page->annotations();
    ASSERT_EQ(annotations.size(), 3u);
    auto note = annotations[0];
    auto reply = annotations[2];
    EXPECT_EQ(note->subtype(), Subtype::other);

    page->removeAnnotation(note);
    EXPECT_EQ(page->annotations(), (std::vector<PDFAnnotationPtr>{reply}));  // the popup goes with it
    page->addAnnotation(note);
    EXPECT_EQ(page->annotations(), annotations);  // note, its popup and the reply, in that order

    const QByteArray saved = plainBytes(*doc);
    for (const char* kept : {"(note-1)", "(Ann Author)", "(D:20231231120000Z)", "/F 28", "/IRT", "(Hello)", "(Reply)"})
        EXPECT_TRUE(saved.contains(kept)) << kept;
    EXPECT_EQ(PDFDocument::loadFromData(saved)->page(0)->annotations().size(), 3u);
}

// Properties set before and after adding survive saving; quads follow the box.
TEST(EngineAnnotations, PropertiesSurviveSaving) {
    auto doc = PDFDocument::loadFromData(textPdf(1));
    auto page = doc->page(0);
    auto box = PDFAnnotation::create(Subtype::freeText, QRectF(100, 500, 220, 40));
    box->setContents("Grüße aus Zürich");
    box->setFont("Times New Roman", 18);
    box->setFontColor(QColor(255, 0, 0));
    box->setColor(QColor(Qt::transparent));
    page->addAnnotation(box);
    box->setAlignment(PDFAnnotation::Alignment::center);
    box->setBorderWidth(0);
    box->setBoolValue("ScrivolaUL", true);
    box->setBoolValue("/ScrivolaST", false);
    auto mark = PDFAnnotation::create(Subtype::highlight, QRectF(72, 700, 200, 30));
    mark->setColor(QColor(0, 128, 255));
    mark->setQuadRects({QRectF(72, 715, 200, 15), QRectF(72, 700, 120, 15)});
    page->addAnnotation(mark);

    const QByteArray bytes = doc->writeToBuffer();
    const auto annotations = PDFDocument::loadFromData(bytes)->page(0)->annotations();
    ASSERT_EQ(annotations.size(), 2u);
    const auto& read = annotations[0];
    EXPECT_EQ(read->contents(), "Grüße aus Zürich");
    EXPECT_EQ(read->fontName(), "Times New Roman");
    EXPECT_DOUBLE_EQ(read->fontSize(), 18);
    EXPECT_EQ(read->fontColor().value_or(QColor()).toRgb(), QColor(255, 0, 0));
    EXPECT_FALSE(read->color().has_value());
    EXPECT_EQ(read->alignment(), PDFAnnotation::Alignment::center);
    EXPECT_EQ(read->borderWidth().value_or(-1), 0.0);
    expectRectNear(read->bounds(), QRectF(100, 500, 220, 40));
    EXPECT_EQ(read->boolValue("ScrivolaUL"), true);
    EXPECT_EQ(read->boolValue("ScrivolaST"), false);
    EXPECT_FALSE(read->hasValue("ScrivolaXX"));
    EXPECT_TRUE(plainBytes(*doc).contains("/ScrivolaUL true"));
    EXPECT_TRUE(sameColour(annotations[1]->color().value_or(QColor()), QColor(0, 128, 255), 2));
    ASSERT_EQ(annotations[1]->quadRects().size(), 2u);
    expectRectNear(annotations[1]->quadRects()[1], QRectF(72, 700, 120, 15));

    mark->setBounds(QRectF(100, 600, 200, 30));  // quads follow the box
    expectRectNear(mark->quadRects()[0], QRectF(100, 615, 200, 15));
}

TEST(EngineAnnotations, PageSpaceRoundTripsOnRotatedOffsetPageAlsoFromAnotherDocument) {
    auto doc = PDFDocument::loadFromData(rotatedOffsetPage());
    auto page = doc->page(0);
    const QRectF bounds(50, 600, 120, 40);
    auto mark = PDFAnnotation::create(Subtype::highlight, bounds);
    mark->setColor(QColor(255, 0, 0));
    auto other = PDFDocument::loadFromData(textPdf(1));
    other->page(0)->addAnnotation(mark);
    page->addAnnotation(mark);  // moves it here
    EXPECT_TRUE(other->page(0)->annotations().empty());
    expectRectNear(mark->bounds(), bounds);
    expectRectNear(mark->quadRects().front(), bounds);

    // Stored in user space: shifted by the media box origin.
    const QByteArray saved = plainBytes(*doc);
    EXPECT_TRUE(saved.contains("150") && saved.contains("800"));
    auto read = PDFDocument::loadFromData(saved)->page(0)->annotations().front();
    expectRectNear(read->bounds(), bounds);

    // Rendered where a 90° rotation puts it: page x -> image y, page y -> image x.
    const QImage image = page->render(1.0);
    ASSERT_EQ(image.size(), QSize(792, 612));
    auto red = [&](int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return c.red() > 200 && c.green() < 80 && c.blue() < 80;
    };
    // Page point (px, py) maps to image (py, px) under /Rotate 90 (clockwise).
    EXPECT_TRUE(red(620, 110));
    EXPECT_FALSE(red(620, 200));
    EXPECT_FALSE(red(300, 110));
}

}  // namespace
}  // namespace scrivola::testing
