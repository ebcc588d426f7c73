// Drawing a text box with QTextLayout (padding, alignment, decorations, clipping at the box's
// height, the selection border, the small-scale drawing) checked on rendered pixels; and its
// appearance stream, as other readers (poppler) and the engine show it, with embedded fonts.

#include "TextBoxTestSupport.h"

#include "annotation/TextBoxAppearance.h"
#include "annotation/TextBoxLayout.h"
#include "pdf/engine/PDFAppearance.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace scrivola {
namespace {

using namespace textboxtest;

constexpr double kScale = 2.0;

// Draws `box` over a white rendering of its page at kScale.
QImage drawOnPage(const PDFPage& page, const CoreTextFreeTextAnnotation& box, double scale = kScale,
                  TextBoxEmphasis emphasis = TextBoxEmphasis::none) {
    const QSizeF size = page.rotatedSize() * scale;
    QImage image(qCeil(size.width()), qCeil(size.height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setTransform(pageToDeviceTransform(page, scale));
    box.draw(painter, emphasis);
    painter.end();
    return image;
}

// Device rectangle of a page-space rectangle on an unrotated page of height `pageHeight`.
QRect deviceRect(const QRectF& r, double pageHeight, double scale = kScale) {
    return QRectF(r.left() * scale, (pageHeight - r.top() - r.height()) * scale, r.width() * scale, r.height() * scale)
        .toAlignedRect();
}

struct Fixture {
    PDFDocumentPtr document = blankDocument(1, {300, 400});
    PDFPagePtr page = document->page(0);
    CoreTextFreeTextAnnotation add(const QRectF& bounds, const CoreTextFreeTextAnnotation::Properties& props) {
        auto box = CoreTextFreeTextAnnotation::create(bounds, props);
        page->addAnnotation(box.annotation());
        return box;
    }
};

TEST(TextBoxDrawing, PaddingAndAlignment) {
    Fixture f;
    const QRectF bounds(50, 300, 200, 40);
    const QRect device = deviceRect(bounds, 400);
    auto props = properties(QStringLiteral("MMMM"), 14);

    const QRect left = inkBounds(drawOnPage(*f.page, f.add(bounds, props)), device.adjusted(-4, -4, 4, 4));
    ASSERT_FALSE(left.isEmpty());
    EXPECT_GE(left.left(), device.left() + 4 * kScale - 1);  // 4 points of padding
    EXPECT_LE(left.left(), device.left() + 4 * kScale + 4);
    EXPECT_LE(left.top(), device.top() + 8 * kScale);       // first line at the top, no top padding

    props.alignment = Qt::AlignRight;
    const QRect right = inkBounds(drawOnPage(*f.page, f.add(bounds, props)), device.adjusted(-4, -4, 4, 4));
    EXPECT_LE(right.right(), device.right() - 4 * kScale + 1);
    EXPECT_GE(right.right(), device.right() - 4 * kScale - 4);

    props.alignment = Qt::AlignHCenter;
    const QRect centre = inkBounds(drawOnPage(*f.page, f.add(bounds, props)), device.adjusted(-4, -4, 4, 4));
    EXPECT_NEAR(centre.center().x(), device.center().x(), 3);
    EXPECT_EQ(centre.width(), left.width());
}

TEST(TextBoxDrawing, WrapsAtTheWidthAndCutsAtTheHeight) {
    Fixture f;
    const QString text = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda");
    auto props = properties(text, 14);
    const QRectF tall(50, 100, 120, 250);
    const QRect tallInk = inkBounds(drawOnPage(*f.page, f.add(tall, props)), QRect(0, 0, 600, 800));
    // Wrapped into several lines inside the width.
    EXPECT_LE(tallInk.right(), deviceRect(tall, 400).right() - 4 * kScale + 1);
    EXPECT_GT(tallInk.height(), 3 * 14 * kScale);

    // Two lines fit into 40 points; the rest is cut, not squeezed or spilled.
    const TextBoxLayout layout(text, props.font, Qt::AlignLeft, QSizeF(120, 40));
    EXPECT_EQ(layout.lines().size(), 2u);
    const QRectF shortBox(50, 300, 120, 40);
    const QImage image = drawOnPage(*f.page, f.add(shortBox, props));
    const QRect device = deviceRect(shortBox, 400);
    EXPECT_EQ(inkCount(image, QRect(0, device.bottom() + 1, 600, 800)), 0);
    const QRect shortInk = inkBounds(image, device);
    EXPECT_LT(shortInk.height(), tallInk.height() / 2);
    // A box lower than one line shows nothing.
    EXPECT_EQ(inkCount(drawOnPage(*f.page, f.add(QRectF(50, 300, 120, 8), props)), QRect(0, 0, 600, 800)), 0);
}

TEST(TextBoxDrawing, UnderlineRunsBelowTheTextAndStrikethroughThroughIt) {
    Fixture f;
    const QRectF bounds(50, 300, 200, 40);
    auto props = properties(QStringLiteral("xxxxxxxx"), 20);
    const QImage plain = drawOnPage(*f.page, f.add(bounds, props));
    const QRect text = inkBounds(plain, deviceRect(bounds, 400));
    // Rows where the decorated drawing differs from the plain one across most of the text.
    auto decorationRows = [&](const QImage& decorated) {
        std::vector<int> rows;
        for (int y = 0; y < plain.height(); ++y) {
            int changed = 0;
            for (int x = 0; x < plain.width(); ++x) changed += qAbs(qGray(plain.pixel(x, y)) - qGray(decorated.pixel(x, y))) > 40;
            if (changed > text.width() / 2) rows.push_back(y);
        }
        return rows;
    };
    props.isUnderline = true;
    const auto under = decorationRows(drawOnPage(*f.page, f.add(bounds, props)));
    ASSERT_FALSE(under.empty());
    EXPECT_GT(under.front(), text.bottom());
    EXPECT_LT(under.back(), text.bottom() + 10 * kScale);
    props.isUnderline = false;
    props.isStrikethrough = true;
    const auto strike = decorationRows(drawOnPage(*f.page, f.add(bounds, props)));
    ASSERT_FALSE(strike.empty());
    EXPECT_GT(strike.front(), text.top());
    EXPECT_LT(strike.back(), text.bottom());

    // Thumbnails (scale below 0.5) show no decorations.
    props.isUnderline = true;
    const QImage smallDecorated = drawOnPage(*f.page, f.add(bounds, props), 0.4);
    props.isStrikethrough = props.isUnderline = false;
    const QImage smallPlain = drawOnPage(*f.page, f.add(bounds, props), 0.4);
    EXPECT_EQ(smallDecorated, smallPlain);
    EXPECT_GT(inkCount(smallPlain, smallPlain.rect(), Qt::white, 30), 0);
}

TEST(TextBoxDrawing, SelectionAndPreviewBorders) {
    Fixture f;
    const QRectF bounds(50, 300, 200, 40);
    auto box = f.add(bounds, properties(QString(), 14));  // empty: only the border is drawn
    const QRect device = deviceRect(bounds, 400);
    EXPECT_EQ(inkCount(drawOnPage(*f.page, box), QRect(0, 0, 600, 800), Qt::white, 5), 0);

    const QColor accent = QGuiApplication::palette().color(QPalette::Highlight);
    const QImage selected = drawOnPage(*f.page, box, kScale, TextBoxEmphasis::selected);
    const QImage preview = drawOnPage(*f.page, box, kScale, TextBoxEmphasis::preview);

    // The border runs 2 points outside the bounds; the preview's is fainter (further from the accent).
    const QPoint onBorder(device.left() - int(2 * kScale), device.center().y());
    auto distance = [&](const QColor& c) {
        return qAbs(c.red() - accent.red()) + qAbs(c.green() - accent.green()) + qAbs(c.blue() - accent.blue());
    };
    EXPECT_LT(distance(selected.pixelColor(onBorder)), distance(preview.pixelColor(onBorder)));
    EXPECT_NE(preview.pixelColor(onBorder), QColor(Qt::white));
    // Nothing inside the box, nothing further out.
    EXPECT_EQ(inkCount(selected, device.adjusted(4, 4, -4, -4), Qt::white, 5), 0);
    EXPECT_EQ(inkCount(selected, QRect(0, 0, device.left() - 8, 800), Qt::white, 5), 0);
    // A thumbnail draws no border, also for an empty box.
    EXPECT_EQ(inkCount(drawOnPage(*f.page, box, 0.4, TextBoxEmphasis::selected), QRect(0, 0, 120, 160), Qt::white, 5), 0);
}

TEST(TextBoxDrawing, MatchesTheEngineRenderingOfItsAppearanceOnARotatedOffsetPage) {
    auto document = PDFDocument::loadFromData(testing::rotatedOffsetPage(QStringList{QStringLiteral(" ")}));
    ASSERT_TRUE(document);
    auto page = document->page(0);
    ASSERT_EQ(page->rotation(), 90);
    const Qt::Alignment alignments[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    for (const Qt::Alignment alignment : alignments) {
        for (const bool decorated : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "alignment " << int(alignment) << " decorated " << decorated);
            auto props = properties(QStringLiteral("Rotated box\nsecond line"), 18);
            props.alignment = alignment;
            props.isUnderline = props.isStrikethrough = decorated;
            auto box = CoreTextFreeTextAnnotation::create(QRectF(100, 400, 220, 60), props);
            page->addAnnotation(box.annotation());
            box.refreshAppearance();
            const QImage engine = page->render(1.0, true);
            const QImage ours = drawOnPage(*page, box, 1.0);
            page->removeAnnotation(box.annotation());
            ASSERT_EQ(engine.size(), ours.size());
            const QRect engineInk = inkBounds(engine, engine.rect());
            const QRect ourInk = inkBounds(ours, ours.rect());
            ASSERT_FALSE(engineInk.isEmpty());
            EXPECT_LE((engineInk.topLeft() - ourInk.topLeft()).manhattanLength(), 3);
            EXPECT_LE((engineInk.bottomRight() - ourInk.bottomRight()).manhattanLength(), 3);
            EXPECT_NEAR(inkCount(engine, engine.rect()), inkCount(ours, ours.rect()),
                        0.25 * inkCount(ours, ours.rect()));
        }
    }
}

TEST(TextBoxDrawing, AppearanceHoldsOnlyTheLinesThatFit) {
    if (!hasTool(QStringLiteral("pdftotext"))) GTEST_SKIP() << "poppler-utils not installed";
    QTemporaryDir dir;
    Fixture f;
    // Three short lines, but room for two.
    auto box = f.add(QRectF(20, 300, 200, 36), properties(QStringLiteral("first\nsecond\nthird"), 14));
    box.refreshAppearance();
    const QString path = dir.filePath(QStringLiteral("cut.pdf"));
    ASSERT_TRUE(f.document->write(path));
    const QString text = QString::fromUtf8(runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}));
    EXPECT_TRUE(text.contains(QStringLiteral("first")));
    EXPECT_TRUE(text.contains(QStringLiteral("second")));
    EXPECT_FALSE(text.contains(QStringLiteral("third")));
}

const QString kMultilingual = QStringLiteral("Grüße ÄÖÜ Ελληνικά 日本語");

CoreTextFreeTextAnnotation addBox(const PDFPagePtr& page, const QRectF& bounds,
                                  const CoreTextFreeTextAnnotation::Properties& props) {
    CoreTextFreeTextAnnotation box = CoreTextFreeTextAnnotation::create(bounds, props);
    page->addAnnotation(box.annotation());
    box.refreshAppearance();
    return box;
}

// The longest horizontal run of pixels inside `area` for which `inked` holds: an underline spans
// almost the whole text.
int longestRun(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& inked) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int longest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(), run = 0; x <= area.right(); ++x) {
            run = inked(argb.pixel(x, y)) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
    return longest;
}

TEST(TextBoxAppearance, OtherReadersExtractAndRenderEveryCharacter) {
    if (!hasTool(QStringLiteral("pdftotext")) || !hasTool(QStringLiteral("pdftoppm")))
        GTEST_SKIP() << "poppler-utils not installed";
    QTemporaryDir dir;
    auto document = blankDocument();
    addBox(document->page(0), QRectF(20, 300, 260, 40), properties(kMultilingual, 14));
    const QString path = dir.filePath(QStringLiteral("boxes.pdf"));
    ASSERT_TRUE(document->write(path));

    // Font subsets, not whole fonts (the CJK face alone is over 15 MB).
    EXPECT_LT(QFileInfo(path).size(), 400 * 1024);

    const QString text = QString::fromUtf8(runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}));
    for (const QString& word : kMultilingual.split(QLatin1Char(' ')))
        EXPECT_TRUE(text.contains(word)) << "missing " << word.toStdString() << " in " << text.toStdString();

    const QString prefix = dir.filePath(QStringLiteral("page"));
    ASSERT_FALSE(runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                                                       QStringLiteral("-singlefile"), path, prefix})
                     .isNull());
    const QImage rendered(prefix + QStringLiteral(".png"));
    ASSERT_FALSE(rendered.isNull());
    // Box (20, 300, 260, 40) in a 400-point page: y down 60..100.
    const QRect box(20, 60, 260, 40);
    EXPECT_GT(inkCount(rendered, box), 200);
    // Nothing outside the box.
    EXPECT_EQ(inkCount(rendered, QRect(0, 110, 300, 290)), 0);
    EXPECT_GT(inkBounds(rendered, box).right(), 200);  // the CJK glyphs at the end are drawn too
}

TEST(TextBoxAppearance, EngineSettersKeepOurAppearance) {
    // The view moves boxes live with setBounds(), and other code may set properties through the
    // engine directly: the engine must redraw our text boxes with our appearance (decorations
    // included), not with its own.
    QTemporaryDir dir;
    auto document = blankDocument();
    auto props = properties(QStringLiteral("plain"), 20);
    props.isUnderline = true;
    auto box = addBox(document->page(0), QRectF(20, 300, 260, 40), props);
    box.annotation()->setContents(QStringLiteral("Moved and changed"));
    box.annotation()->setBounds(QRectF(20, 100, 260, 40));

    const QImage image = document->page(0)->render(2.0, true);
    // Page height 400: the box now spans y 520..600 at scale 2.
    EXPECT_EQ(inkCount(image, QRect(0, 0, 600, 500)), 0);
    const QRect ink = inkBounds(image, QRect(40, 520, 520, 80));
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(longestRun(image, ink, [](QRgb p) { return qGray(p) < 128; }), ink.width() * 0.9);  // the underline
}

TEST(TextBoxAppearance, EveryToolbarFamilyEmbedsAFontOfItsKind) {
    const QStringList families{"Helvetica", "Arial", "Calibri", "Times New Roman", "Courier", "SF Pro", "Georgia", "Menlo"};
    for (const QString& family : families) {
        for (const int traits : {0, 1, 2}) {
            const bool bold = traits == 1, italic = traits == 2;
            SCOPED_TRACE((family + (bold ? " bold" : italic ? " italic" : "")).toStdString());
            TextBoxStyle style;
            style.font = textBoxFont(family, 14, bold, italic);
            const PDFAppearanceStream stream = buildTextBoxAppearance(QStringLiteral("Text ÄÖÜ"), style, QSizeF(200, 40));
            ASSERT_FALSE(stream.fonts.empty());
            for (const PDFEmbeddedFont& font : stream.fonts) {
                EXPECT_FALSE(font.program.isEmpty());
                // The face embedded has the slant asked for (a foundry holding only italics once
                // stood in for upright text).
                const bool slanted = font.baseFont.contains("Italic") || font.baseFont.contains("Oblique");
                EXPECT_EQ(slanted, italic) << font.baseFont.constData();
            }
            EXPECT_TRUE(stream.content.contains(" Tj") || stream.content.contains(" TJ"));
        }
    }
    // Monospaced families stay monospaced: "iiii" and "MMMM" are equally wide.
    for (const QString& family : {QStringLiteral("Courier"), QStringLiteral("Menlo")}) {
        const QFont font = textBoxFont(family, 14, false, false);
        const TextBoxLayout narrow(QStringLiteral("iiii"), font, Qt::AlignLeft, QSizeF(300, 40));
        const TextBoxLayout wide(QStringLiteral("MMMM"), font, Qt::AlignLeft, QSizeF(300, 40));
        EXPECT_NEAR(narrow.lines()[0].width, wide.lines()[0].width, 2) << family.toStdString();
    }
}

}  // namespace
}  // namespace scrivola
