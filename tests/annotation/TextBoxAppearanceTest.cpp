// Appearance streams: other readers (poppler) and the engine itself show the text box's text
// with its embedded fonts, colour and decorations.

#include "TextBoxTestSupport.h"

#include "annotation/TextBoxAppearance.h"
#include "annotation/TextBoxFont.h"
#include "annotation/TextBoxLayout.h"
#include "pdf/engine/PDFAppearance.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace scrivola {
namespace {

using namespace textboxtest;

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
    // The CJK glyphs at the end are drawn too: ink in the right third of the text.
    const QRect whole = inkBounds(rendered, box);
    EXPECT_GT(whole.right(), 200);
}

TEST(TextBoxAppearance, EngineRendersReopenedBoxWithDecorationsAndColour) {
    QTemporaryDir dir;
    auto document = blankDocument();
    auto props = properties(QStringLiteral("Underlined"), 20);
    props.fontColor = QColor(255, 0, 0);
    props.isUnderline = true;
    addBox(document->page(0), QRectF(20, 300, 200, 40), props);
    auto reopened = saveAndReopen(*document, dir.filePath(QStringLiteral("red.pdf")));
    ASSERT_TRUE(reopened);
    const QImage image = reopened->page(0)->render(2.0, true);
    ASSERT_FALSE(image.isNull());
    const QRect box(40, 120, 400, 80);
    const QRect ink = inkBounds(image, box);
    ASSERT_FALSE(ink.isEmpty());
    // Red text, underlined.
    EXPECT_GT(share(image, ink, QColor(255, 0, 0), 80) * ink.width() * ink.height(), 100);
    EXPECT_GT(longestRun(image, ink, [](QRgb p) { return qRed(p) > 150 && qGreen(p) < 120; }), ink.width() * 0.9);
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
        for (const bool bold : {false, true}) {
            SCOPED_TRACE((family + (bold ? " bold" : "")).toStdString());
            TextBoxStyle style;
            style.font = textBoxFont(family, 14, bold, false);
            const PDFAppearanceStream stream = buildTextBoxAppearance(QStringLiteral("Text ÄÖÜ"), style, QSizeF(200, 40));
            ASSERT_FALSE(stream.fonts.empty());
            for (const PDFEmbeddedFont& font : stream.fonts) EXPECT_FALSE(font.program.isEmpty());
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
