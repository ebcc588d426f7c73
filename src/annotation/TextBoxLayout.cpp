#include "annotation/TextBoxLayout.h"

#include "annotation/TextBoxFont.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {

QString withLineSeparators(const QString& text) {
    QString result = text;
    result.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    result.replace(QLatin1Char('\n'), QChar::LineSeparator);
    result.replace(QLatin1Char('\r'), QChar::LineSeparator);
    result.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
    return result;
}

// A paint device of 72 dots per inch, so that layout units are points and a font's pixel size
// equals its point size.
const QPaintDevice& pointDevice() {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(72.0 / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

}  // namespace

TextBoxLayout::TextBoxLayout(const QString& text, const QFont& font, Qt::Alignment alignment, const QSizeF& boxSize)
    : text_(withLineSeparators(text)), font_(font) {
    layout_ = std::make_unique<QTextLayout>(text_, embeddableFont(font_), &pointDevice());
    QTextOption option;
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    option.setAlignment(horizontal ? horizontal : Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout_->setTextOption(option);
    layout_->setCacheEnabled(true);

    const double width = std::max(0.0, boxSize.width() - 2 * sidePadding);
    const double height = std::max(0.0, boxSize.height());
    double y = 0;
    bool full = false;
    layout_->beginLayout();
    for (;;) {
        QTextLine line = layout_->createLine();
        if (!line.isValid()) break;
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        if (full || y + line.height() > height + 1e-6) {
            full = true;  // cut at the box's height: this line and the rest stay hidden
            continue;
        }
        const QRectF natural = line.naturalTextRect();
        Line info;
        info.start = line.textStart();
        info.length = line.textLength();
        info.x = sidePadding + natural.x();
        info.baseline = y + line.ascent();
        info.width = line.naturalTextWidth();
        info.ascent = line.ascent();
        info.descent = line.descent();
        lines_.push_back(info);
        y += line.height();
    }
    layout_->endLayout();
}

TextBoxLayout::~TextBoxLayout() = default;

QList<QGlyphRun> TextBoxLayout::glyphRuns(int index) const {
    if (index < 0 || index >= int(lines_.size())) return {};
    return glyphRuns(index, lines_[size_t(index)].start, lines_[size_t(index)].length);
}

QList<QGlyphRun> TextBoxLayout::glyphRuns(int index, int from, int length) const {
    if (index < 0 || index >= int(lines_.size())) return {};
    QList<QGlyphRun> runs = layout_->lineAt(index).glyphRuns(from, length);
    for (QGlyphRun& run : runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF& p : positions) p.rx() += sidePadding;
        run.setPositions(positions);
    }
    return runs;
}

double TextBoxLayout::decorationWidth() const { return std::max(font_.pointSizeF() * 0.06, 0.8); }

std::vector<QLineF> TextBoxLayout::underlines() const {
    std::vector<QLineF> result;
    for (const Line& line : lines_) {
        if (!(line.width > 0)) continue;
        const double y = line.baseline + 0.3 * line.descent;
        result.emplace_back(line.x, y, line.x + line.width, y);
    }
    return result;
}

std::vector<QLineF> TextBoxLayout::strikethroughs() const {
    std::vector<QLineF> result;
    for (const Line& line : lines_) {
        if (!(line.width > 0)) continue;
        const double y = line.baseline - 0.35 * line.ascent;
        result.emplace_back(line.x, y, line.x + line.width, y);
    }
    return result;
}

void TextBoxLayout::drawText(QPainter& painter, const QColor& color) const {
    painter.save();
    painter.setPen(color);
    for (int i = 0; i < int(lines_.size()); ++i) layout_->lineAt(i).draw(&painter, QPointF(sidePadding, 0));
    painter.restore();
}

void TextBoxLayout::drawDecorations(QPainter& painter, const QColor& color, bool underline, bool strikethrough) const {
    if (!underline && !strikethrough) return;
    painter.save();
    QPen pen(color);
    pen.setWidthF(decorationWidth());
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    if (underline)
        for (const QLineF& l : underlines()) painter.drawLine(l);
    if (strikethrough)
        for (const QLineF& l : strikethroughs()) painter.drawLine(l);
    painter.restore();
}

}  // namespace scrivola
