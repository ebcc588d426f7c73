// Drawing a text box with QTextLayout: padding, alignment, decorations, clipping at the box's
// height, the selection border and the small-scale drawing, checked on rendered pixels.

#include "TextBoxTestSupport.h"

#include "annotation/TextBoxFont.h"
#include "annotation/TextBoxLayout.h"
#include "pdf/engine/PDFAppearance.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/PdfFactory.h"

namespace scrivola {
namespace {

using namespace textboxtest;

constexpr double kScale = 2.0;

// Draws `box` over a white rendering of its page at kScale.
QImage drawOnPage(const PDFPage& page, const CoreTextFreeTextAnnotation& box, double scale = kScale) {
    const QSizeF size = page.rotatedSize() * scale;
    QImage image(qCeil(size.width()), qCeil(size.height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setTransform(pageToDeviceTransform(page, scale));
    box.draw(painter);
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

TEST(TextBoxDrawing, UnderlineAndStrikethroughSitWhereTheLayoutSays) {
    Fixture f;
    const QRectF bounds(50, 300, 200, 40);
    auto props = properties(QStringLiteral("xxxxxxxx"), 20);
    const QImage plain = drawOnPage(*f.page, f.add(bounds, props));
    const TextBoxLayout layout(props.contents, props.font, Qt::AlignLeft, bounds.size());
    ASSERT_EQ(layout.lines().size(), 1u);
    const auto& line = layout.lines()[0];
    const double top = (400 - bounds.top() - bounds.height()) * kScale;

    auto decorationRows = [&](const QImage& decorated) {
        // Rows where the decorated drawing differs from the plain one across most of the text.
        std::vector<int> rows;
        for (int y = 0; y < plain.height(); ++y) {
            int changed = 0;
            for (int x = 0; x < plain.width(); ++x)
                if (qAbs(qGray(plain.pixel(x, y)) - qGray(decorated.pixel(x, y))) > 40) ++changed;
            if (changed > line.width * kScale * 0.5) rows.push_back(y);
        }
        return rows;
    };

    props.isUnderline = true;
    const auto under = decorationRows(drawOnPage(*f.page, f.add(bounds, props)));
    ASSERT_FALSE(under.empty());
    const double underY = top + (line.baseline + 0.3 * line.descent) * kScale;
    EXPECT_NEAR((under.front() + under.back() + 1) / 2.0, underY, 1.5);

    props.isUnderline = false;
    props.isStrikethrough = true;
    const auto strike = decorationRows(drawOnPage(*f.page, f.add(bounds, props)));
    ASSERT_FALSE(strike.empty());
    const double strikeY = top + (line.baseline - 0.35 * line.ascent) * kScale;
    EXPECT_NEAR((strike.front() + strike.back() + 1) / 2.0, strikeY, 1.5);

    // Thumbnails (scale below 0.5) show no decorations.
    props.isStrikethrough = true;
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
    CoreTextFreeTextAnnotation::selectedIds().insert(box.identity());
    const QImage selected = drawOnPage(*f.page, box);
    CoreTextFreeTextAnnotation::selectedIds().clear();
    CoreTextFreeTextAnnotation::previewIds().insert(box.identity());
    const QImage preview = drawOnPage(*f.page, box);
    CoreTextFreeTextAnnotation::previewIds().clear();

    // The border runs 2 points outside the bounds.
    const int borderX = device.left() - int(2 * kScale);
    const QPoint onBorder(borderX, device.center().y());
    const QColor sel = selected.pixelColor(onBorder);
    const QColor pre = preview.pixelColor(onBorder);
    EXPECT_NE(sel, QColor(Qt::white));
    EXPECT_NE(pre, QColor(Qt::white));
    // Preview is fainter (alpha 0.5 against 0.8): further from the accent colour.
    auto distance = [&](const QColor& c) {
        return qAbs(c.red() - accent.red()) + qAbs(c.green() - accent.green()) + qAbs(c.blue() - accent.blue());
    };
    EXPECT_LT(distance(sel), distance(pre));
    // Nothing inside the box, nothing further out.
    EXPECT_EQ(inkCount(selected, device.adjusted(4, 4, -4, -4), Qt::white, 5), 0);
    EXPECT_EQ(inkCount(selected, QRect(0, 0, device.left() - 8, 800), Qt::white, 5), 0);
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

}  // namespace
}  // namespace scrivola
