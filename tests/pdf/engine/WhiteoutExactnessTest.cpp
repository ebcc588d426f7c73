// Whiteout removes what it covers and nothing else: on generated pages (embedded Type 1 fonts,
// Td/TD/T*/'/" chains inside and across text objects, kerned and spaced TJ arrays, a Type 3
// font, text in a form XObject, a rotated page with turned text) and on real manuals when
// installed, the text outside the rectangle keeps its characters and boxes and the page renders
// the same outside it.

#include "EngineTestUtil.h"

#include "pdf/engine/PDFPageReplacement.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTransform>

#include <cmath>

namespace scrivola::testing {
namespace {

const QString kFontDir = QStringLiteral("/usr/share/fonts/type1/urw-base35/");

QByteArray streamObject(const QByteArray& dictionary, const QByteArray& data) {
    return "<< " + dictionary + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

// A simple Type 1 font dictionary with its descriptor and embedded file (objects `first`,
// first + 1, first + 2); the widths come from the font's metrics file.
std::vector<QByteArray> embeddedType1(const QString& name, int first) {
    QFile afm(kFontDir + name + ".afm");
    QFile program(kFontDir + name + ".t1");
    if (!afm.open(QIODevice::ReadOnly) || !program.open(QIODevice::ReadOnly)) return {};
    QByteArray widths;
    std::map<int, QByteArray> byCode;
    for (const QByteArray& line : afm.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 4 && f[0] == "C" && f[3] == "WX") byCode[f[1].toInt()] = f[4];
    }
    for (int c = 32; c <= 126; ++c) widths += (byCode.count(c) ? byCode[c] : QByteArray("0")) + " ";
    const QByteArray data = program.readAll();
    const QByteArray n = QByteArray::number(first);
    return {"<< /Type /Font /Subtype /Type1 /BaseFont /" + name.toLatin1() + " /FirstChar 32 /LastChar 126 /Widths [" +
                widths + "] /FontDescriptor " + QByteArray::number(first + 1) + " 0 R >>",
            "<< /Type /FontDescriptor /FontName /" + name.toLatin1() +
                " /Flags 32 /FontBBox [-200 -300 1100 1100] /ItalicAngle 0 /Ascent 1053 /Descent -281 /CapHeight 700 "
                "/StemV 80 /FontFile " + QByteArray::number(first + 2) + " 0 R >>",
            streamObject("/Length1 " + QByteArray::number(data.size()) + " /Length2 0 /Length3 0", data)};
}

// Pixels of a w × h picture with `channels` 8-bit samples each, from f(x, y, channel).
template <typename F>
QByteArray pixels(int w, int h, int channels, F f) {
    QByteArray data;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) data += char(f(x, y, c));
    return data;
}

// Four pages sharing fonts F1, F2 (embedded Type 1), F3 (Type 3), a text form Fm1 and
// pictures (a stencil mask, a picture with a soft mask; the last page has an inline picture).
QByteArray generatedPages() {
    std::vector<QByteArray> objects(2);  // catalog, page tree
    const std::vector<QByteArray> roman = embeddedType1(QStringLiteral("NimbusRoman-Regular"), 3);
    const std::vector<QByteArray> sans = embeddedType1(QStringLiteral("NimbusSans-Regular"), 6);
    if (roman.empty() || sans.empty()) return {};
    objects.insert(objects.end(), roman.begin(), roman.end());
    objects.insert(objects.end(), sans.begin(), sans.end());
    // 9: Type 3 font with two rectangular glyphs, 10-11: its glyphs, 12: the form.
    objects.push_back("<< /Type /Font /Subtype /Type3 /FontBBox [0 0 600 700] /FontMatrix [0.001 0 0 0.001 0 0] "
                      "/CharProcs << /A 10 0 R /B 11 0 R >> /Encoding << /Type /Encoding /Differences [65 /A /B] >> "
                      "/FirstChar 65 /LastChar 66 /Widths [600 500] >>");
    objects.push_back(streamObject({}, "600 0 0 0 550 700 d1 0 0 550 700 re f"));
    objects.push_back(streamObject({}, "500 0 0 0 450 500 d1 50 0 400 500 re f"));
    objects.push_back(streamObject("/Type /XObject /Subtype /Form /BBox [0 0 300 60] /Matrix [1 0 0 1 0 0] "
                                   "/Resources << /Font << /F1 3 0 R >> >>",
                                   "BT /F1 11 Tf 5 40 Td (Form text inside the XObject) Tj 0 -14 Td "
                                   "[(Second) -400 (form) 120 (line)] TJ ET"));
    // 13: a 1-bit stencil of stripes, 14: a picture with 15 as its soft mask (one pixel a point).
    QByteArray stencil;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 160; x += 8) stencil += char((x / 8 + y / 6) % 2 ? 0xF0 : 0x3C);
    objects.push_back(streamObject("/Type /XObject /Subtype /Image /Width 160 /Height 80 /ImageMask true /BitsPerComponent 1",
                                   stencil));
    objects.push_back(streamObject("/Type /XObject /Subtype /Image /Width 160 /Height 80 /ColorSpace /DeviceRGB "
                                   "/BitsPerComponent 8 /SMask 15 0 R",
                                   pixels(160, 80, 3, [](int x, int y, int c) { return c == 0 ? x : c == 1 ? y * 3 : 200; })));
    objects.push_back(streamObject("/Type /XObject /Subtype /Image /Width 160 /Height 80 /ColorSpace /DeviceGray "
                                   "/BitsPerComponent 8",
                                   pixels(160, 80, 1, [](int x, int, int) { return 60 + x; })));
    // 16-18: vertical writing (Identity-V) with glyphs of an embedded TrueType font, when there.
    QFile dejavu(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    const bool vertical = dejavu.open(QIODevice::ReadOnly);
    objects.push_back("<< /Type /Font /Subtype /Type0 /BaseFont /DejaVuSans /Encoding /Identity-V "
                      "/DescendantFonts [<< /Type /Font /Subtype /CIDFontType2 /BaseFont /DejaVuSans /CIDToGIDMap /Identity "
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor 17 0 R "
                      "/DW 600 >>] >>");
    objects.push_back("<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 /FontBBox [-1021 -463 1793 1232] "
                      "/ItalicAngle 0 /Ascent 928 /Descent -236 /CapHeight 700 /StemV 80 /FontFile2 18 0 R >>");
    objects.push_back(streamObject({}, vertical ? dejavu.readAll() : QByteArray()));
    const QByteArray resources = "/Resources << /Font << /F1 3 0 R /F2 6 0 R /F3 9 0 R /F4 16 0 R >> "
                                 "/XObject << /Fm1 12 0 R /Stencil 13 0 R /Picture 14 0 R >> >>";

    const QByteArray chains =
        "BT /F1 10 Tf 11 TL 72 720 Td (Alpha beta gamma delta epsilon zeta eta) Tj T* (Second line follows the first) Tj "
        "0 -11 Td (third line placed with Td here) Tj 0 -11 TD (fourth line placed with TD) Tj (fifth line quote) ' "
        "2 0.5 (sixth line double quote) \" ET\n"
        "BT /F1 10 Tf 72 640 Td (Separate object one stays) Tj ET\n"
        "BT /F1 10 Tf 72 629 Td (Separate object two goes away) Tj ET\n"
        "BT /F1 10 Tf 72 618 Td (Separate object three stays) Tj ET\n"
        "BT /F2 12 Tf 1 0 0 1 72 590 Tm 0.4 Tc 3 Tw 90 Tz [(Ke) 120 (rned) -300 (TJ array with) 250 (spacing and) "
        "-80 (scaling)] TJ ET\n"
        "BT /F2 9 Tf 72 570 Td 2 Ts (Raised sans text and) Tj 0 Ts ( level text) Tj ET\n";
    const QByteArray forms = "q 1 0 0 1 72 400 cm /Fm1 Do Q q 1.2 0 0 1.2 300 300 cm /Fm1 Do Q\n"
                             "BT /F3 14 Tf 72 250 Td (ABBAABAB) Tj 0 -20 Td [(AB) -500 (BA)] TJ ET\n"
                             "BT /F1 10 Tf 72 200 Td (Roman text beside the forms) Tj ET\n";
    const QByteArray turned = "BT /F1 12 Tf 0.866 0.5 -0.5 0.866 150 300 Tm (Turned text at thirty degrees) Tj ET\n"
                              "BT /F2 11 Tf 72 500 Td (Upright line on a rotated page) Tj 0 -13 Td (and its neighbour below) Tj ET\n" +
                              QByteArray(vertical ? "BT /F4 12 Tf 0.5 Tc 500 700 Td <0024002500260027002800290030> Tj "
                                                    "[<0031> 300 <00320033>] TJ ET\n"
                                                  : "");
    const QByteArray pictures =
        "q 0.8 0.1 0.1 rg 160 0 0 80 72 600 cm /Stencil Do Q q 160 0 0 80 300 600 cm /Picture Do Q\n"
        "q 40 0 0 40 72 450 cm BI /W 40 /H 40 /CS /RGB /BPC 8 ID\n" +
        pixels(40, 40, 3, [](int x, int y, int c) { return c == 2 ? 0 : (x * 6 + y * 3 * c) % 256; }) +
        "\nEI Q\nBT /F1 10 Tf 72 430 Td (Caption under the inline picture) Tj ET\n";
    const QByteArray pages[] = {chains, forms, turned, pictures};
    QByteArray kids;
    for (int i = 0; i < 4; ++i) {
        const int num = int(objects.size()) + 1;
        kids += QByteArray::number(num) + " 0 R ";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792]" + QByteArray(i == 2 ? " /Rotate 90 " : " ") +
                          resources + " /Contents " + QByteArray::number(num + 1) + " 0 R >>");
        objects.push_back(streamObject({}, pages[i]));
    }
    objects[0] = "<< /Type /Catalog /Pages 2 0 R >>";
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count 4 >>";
    return assemblePdf(objects);
}

std::vector<PDFTextChar> visibleChars(const PDFPage& page) {
    std::vector<PDFTextChar> chars;
    for (const auto& block : page.text().blocks)
        for (const auto& line : block.lines)
            for (const auto& c : line.chars)
                if (!QChar::isSpace(c.character)) chars.push_back(c);
    return chars;
}

bool near(const QRectF& a, const QRectF& b) {
    return (a.topLeft() - b.topLeft()).manhattanLength() <= 0.02 && (a.bottomRight() - b.bottomRight()).manhattanLength() <= 0.02;
}

// Page space -> image pixels of PDFPage::render(scale).
QTransform imageTransform(const PDFPage& page, double scale) {
    const QRectF crop = page.bounds(PDFBox::cropBox);
    QTransform turn;
    turn.rotate(-page.rotation());
    const QRectF shown = turn.mapRect(crop);
    return turn * QTransform::fromTranslate(-shown.left(), -shown.bottom()) * QTransform::fromScale(scale, -scale);
}

// The page at 72 and 150 dpi.
struct Renders {
    QImage at72, at150;
};
Renders renders(const PDFPage& page) { return {page.render(1), page.render(150.0 / 72)}; }

// Pixels that differ outside the excluded page-space rectangles.
int differencesOutside(const QImage& a, const QImage& b, const QTransform& toImage, const std::vector<QRectF>& excluded) {
    if (a.size() != b.size()) return -1;
    const QTransform toPage = toImage.inverted();
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (pa[x] == pb[x]) continue;
            // Any part of the pixel inside an excluded area excuses it.
            const QRectF pixel = toPage.mapRect(QRectF(x, y, 1, 1));
            bool excused = false;
            for (const QRectF& r : excluded) excused = excused || r.intersects(pixel);
            if (!excused) ++count;
        }
    }
    return count;
}

// Whites out `rect` on page `index` of `doc` (into a copy of the page: the page itself does not
// change) and checks the invariant against the original. Returns the number of characters
// removed.
int checkWhiteout(const PDFDocumentPtr& doc, int index, const QRectF& rect, const Renders& before) {
    const PDFPagePtr original = doc->page(index);
    const std::vector<PDFTextChar> was = visibleChars(*original);
    const PDFPagePtr copy = PDFPageReplacement::whitedOutCopy(*original, rect);
    const std::vector<PDFTextChar> now = visibleChars(*copy);
    const std::string where = QStringLiteral("page %1 rect %2,%3 %4x%5").arg(index).arg(rect.x()).arg(rect.y())
                                  .arg(rect.width()).arg(rect.height()).toStdString();

    // Every character left was there, at the same place; each old one is matched once.
    std::vector<bool> kept(was.size(), false);
    for (const PDFTextChar& c : now) {
        bool found = false;
        for (size_t i = 0; i < was.size() && !found; ++i)
            if (!kept[i] && was[i].character == c.character && near(was[i].bounds, c.bounds)) kept[i] = found = true;
        EXPECT_TRUE(found) << where << ": new or moved character U+" << std::hex << int(c.character) << " at "
                           << c.bounds.x() << "," << c.bounds.y();
    }
    std::vector<QRectF> excluded{rect.adjusted(-1, -1, 1, 1)};
    int removed = 0;
    for (size_t i = 0; i < was.size(); ++i) {
        const QRectF& box = was[i].bounds;
        if (kept[i]) {
            EXPECT_FALSE(rect.contains(box)) << where << ": covered character kept: " << char(was[i].character);
            continue;
        }
        ++removed;
        // Boxes of ligature parts may have no width.
        EXPECT_TRUE(rect.intersects(box.adjusted(-0.01, -0.01, 0.01, 0.01)))
            << where << ": character outside lost: " << char(was[i].character) << " at " << box.x() << "," << box.y();
        excluded.push_back(box.adjusted(-1, -1, 1, 1));
    }
    const Renders after = renders(*copy);
    EXPECT_EQ(differencesOutside(before.at72, after.at72, imageTransform(*original, 1), excluded), 0) << where;
    EXPECT_EQ(differencesOutside(before.at150, after.at150, imageTransform(*original, 150.0 / 72), excluded), 0)
        << where << " at 150 dpi";
    return removed;
}

// Rectangles to try on a page: whole words, a whole line, and random ones cutting through text.
std::vector<QRectF> rectanglesFor(const PDFPage& page, int words, int randoms, quint32 seed) {
    std::vector<QRectF> rects, wordBoxes, lineBoxes;
    const auto text = page.text();
    for (const auto& block : text.blocks)
        for (const auto& line : block.lines) {
            lineBoxes.push_back(line.bounds);
            QRectF word;
            for (const auto& c : line.chars) {
                if (QChar::isSpace(c.character)) {
                    if (!word.isNull()) wordBoxes.push_back(word);
                    word = QRectF();
                } else {
                    word = word.isNull() ? c.bounds : word.united(c.bounds);
                }
            }
            if (!word.isNull()) wordBoxes.push_back(word);
        }
    QRandomGenerator random(seed);
    for (int i = 0; i < words && !wordBoxes.empty(); ++i) rects.push_back(wordBoxes[random.bounded(int(wordBoxes.size()))]);
    if (!lineBoxes.empty()) rects.push_back(lineBoxes[random.bounded(int(lineBoxes.size()))]);
    const QRectF media = page.bounds();
    for (int i = 0; i < randoms && !lineBoxes.empty(); ++i) {
        // Centred on a line, so that it cuts through characters.
        const QPointF centre = lineBoxes[random.bounded(int(lineBoxes.size()))].center();
        const double w = 10 + random.bounded(150.0), h = 4 + random.bounded(30.0);
        rects.push_back(QRectF(centre.x() - w / 2 + random.bounded(40.0) - 20, centre.y() - h / 2, w, h) & media);
    }
    return rects;
}

TEST(WhiteoutExactness, GeneratedPagesKeepEverythingOutsideTheRectangle) {
    const QByteArray pdf = generatedPages();
    if (pdf.isEmpty()) GTEST_SKIP() << "fonts-urw-base35 is not installed";
    auto doc = PDFDocument::loadFromData(pdf);
    int cases = 0;
    for (int index = 0; index < doc->pageCount(); ++index) {
        const Renders before = renders(*doc->page(index));
        std::vector<QRectF> rects = rectanglesFor(*doc->page(index), 6, 8, quint32(17 + index));
        if (index == 3) {
            // Across the stencil, the picture and its soft mask, the inline picture.
            for (const QRectF& r : {QRectF(100.3, 610.7, 40.2, 30.1), QRectF(40, 580, 80.5, 40), QRectF(420.2, 650.2, 100, 60),
                                    QRectF(60, 440, 30.3, 20.6), QRectF(200, 400, 250, 260)})
                rects.push_back(r);
        }
        for (const QRectF& rect : rects) {
            checkWhiteout(doc, index, rect, before);
            ++cases;
        }
    }
    RecordProperty("cases", cases);
}

TEST(WhiteoutExactness, RemovesWholeLinesWordsAndFormTextWithoutMovingTheRest) {
    const QByteArray pdf = generatedPages();
    if (pdf.isEmpty()) GTEST_SKIP() << "fonts-urw-base35 is not installed";
    auto doc = PDFDocument::loadFromData(pdf);
    const Renders first = renders(*doc->page(0));
    const Renders second = renders(*doc->page(1));
    const auto textAfter = [&](int index, const QRectF& rect) {
        auto copy = PDFDocument::loadFromData(pdf);
        return PDFPageReplacement::whitedOutCopy(*copy->page(index), rect)->text().plainText();
    };
    // The middle one of three separate text objects (baselines 640, 629, 618, 10 points) goes
    // whole; the next one stays where it was (checkWhiteout compares the boxes).
    const QRectF middle(70, 627.5, 200, 9);
    EXPECT_GT(checkWhiteout(doc, 0, middle, first), 20);
    QString text = textAfter(0, middle);
    EXPECT_FALSE(text.contains(QStringLiteral("goes away")));
    EXPECT_TRUE(text.contains(QStringLiteral("Separate object one stays")));
    EXPECT_TRUE(text.contains(QStringLiteral("Separate object three stays")));

    // The first form's two lines: the copy drawn at (72, 400) loses them, the one at (300, 300)
    // and the form itself (as the other pages see it) keep them.
    const QRectF formLines(72, 400, 200, 50);
    EXPECT_GT(checkWhiteout(doc, 1, formLines, second), 30);
    text = textAfter(1, formLines);
    EXPECT_EQ(text.count(QStringLiteral("Form text inside the XObject")), 1) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Roman text beside the forms")));
    EXPECT_EQ(doc->page(1)->text().plainText().count(QStringLiteral("Form text inside the XObject")), 2);

    // Vertical writing: glyphs go down from (500, 700), 12 points apart, with 0.5 character
    // spacing and a TJ gap.
    if (QFile::exists(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"))) {
        const Renders third = renders(*doc->page(2));
        EXPECT_GE(checkWhiteout(doc, 2, QRectF(480, 650, 50, 26), third), 2);
        EXPECT_GE(checkWhiteout(doc, 2, QRectF(480, 560, 50, 60), third), 3);
    }

    // Type 3 glyphs are boxes of their own outlines.
    const QRectF type3(72, 248, 30, 12);
    EXPECT_GE(checkWhiteout(doc, 1, type3, second), 2);
}

// Real documents: the pdfTeX manual Debian installs with Octave's documentation, and any
// further files listed (colon-separated) in SCRIVOLA_WHITEOUT_FILES.
TEST(WhiteoutExactness, RealDocumentPages) {
    QStringList paths{QStringLiteral("/usr/share/doc/octave/octave.pdf")};
    paths += qEnvironmentVariable("SCRIVOLA_WHITEOUT_FILES").split(u':', Qt::SkipEmptyParts);
    int cases = 0, removed = 0, files = 0;
    for (const QString& path : paths) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const QByteArray pdf = file.readAll();
        auto doc = PDFDocument::loadFromData(pdf);
        ++files;
        const int count = doc->pageCount();
        for (int k = 0; k < 10 && k < count; ++k) {
            const int index = count <= 10 ? k : (k * count) / 10 + 1;
            SCOPED_TRACE(path.toStdString());
            const Renders before = renders(*doc->page(index));
            for (const QRectF& rect : rectanglesFor(*doc->page(index), 2, 1, quint32(index))) {
                removed += checkWhiteout(doc, index, rect, before);
                ++cases;
            }
        }
    }
    if (!files) GTEST_SKIP() << "no real documents installed";
    EXPECT_GT(removed, cases);
    RecordProperty("files", files);
    RecordProperty("cases", cases);
    RecordProperty("removed", removed);
}

}  // namespace
}  // namespace scrivola::testing
