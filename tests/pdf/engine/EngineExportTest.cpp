// Copying pages into a new document keeps what is on them and where it leads; pages that cannot
// be loaded stand as empty pages.

#include "EngineTestUtil.h"

#include "pdf/engine/PDFSaving.h"

namespace scrivola::testing {
namespace {

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
    ASSERT_EQ(source->pageCount(), 3);
    EXPECT_EQ(linkTargets(*source->page(1)), (std::vector<int>{2, 0}));
    EXPECT_EQ(outlineText(source->outline()), QStringLiteral("One->0 Part->-1(Two->1) Three->2"));

    const auto exported = PDFSaving::copyPages(*source, {1, 2});
    // Written and read back, as the export does.
    const auto reopened = PDFDocument::loadFromData(exported->writeToBuffer());
    ASSERT_EQ(reopened->pageCount(), 2);
    const PDFPagePtr page = reopened->page(0);
    EXPECT_EQ(linkTargets(*page), std::vector<int>{1}) << "the link to the page left out is gone";
    EXPECT_EQ(page->links().front().bounds, QRectF(50, 100, 100, 20));
    EXPECT_EQ(outlineText(reopened->outline()), QStringLiteral("Part->-1(Two->0) Three->1"));

    std::vector<QString> types;
    for (const PDFAnnotationPtr& annotation : page->annotations()) types.push_back(annotation->type());
    EXPECT_EQ(types, (std::vector<QString>{QStringLiteral("Widget"), QStringLiteral("Link")}));
    PDFWriteOptions plain;
    plain.compressStreams = false;
    const QByteArray bytes = reopened->writeToBuffer(plain);
    EXPECT_TRUE(bytes.contains("/AcroForm"));
    EXPECT_TRUE(bytes.contains("(Alice Example)"));
    EXPECT_TRUE(bytes.contains("(person)"));
    EXPECT_EQ(bytes.count("/Subtype /Widget") + bytes.count("/Subtype/Widget"), 1) << "the widget of page 1 stays behind";
    // The field's appearance is drawn: the black box at (50, 200)-(150, 220).
    const QImage image = page->render(1.0);
    EXPECT_LT(qGray(image.pixel(100, 300 - 210)), 60);

    // The source is untouched.
    EXPECT_EQ(source->pageCount(), 3);
    EXPECT_EQ(outlineText(source->outline()), QStringLiteral("One->0 Part->-1(Two->1) Three->2"));
}

// A page tree entry that points at a missing object, or is not a dictionary, makes a page that
// shows as an empty page of the document's size, with no text and no annotations.
TEST(EngineExport, PagesThatCannotLoadAreEmptyPagesOfTheDefaultSize) {
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] >>";
    const std::vector<QByteArray> kids = {"[3 0 R 99 0 R]", "[99 0 R 3 0 R]", "[3 0 R 42]", "[3 0 R [1 2]]"};
    for (const QByteArray& list : kids) {
        SCOPED_TRACE(list.toStdString());
        PDFDocumentPtr doc;
        try {
            doc = PDFDocument::loadFromData(assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                                         "<< /Type /Pages /Kids " + list + " /Count 2 >>", page}));
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
