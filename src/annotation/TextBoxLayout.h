#pragma once

// The text layout of a text box, shared by the on-screen drawing and the appearance stream so
// that both put every glyph and every decoration line in the same place.
//
// Coordinates are box-local, in points, y down: (0, 0) is the box's top-left corner. The text
// rectangle is the box less 4 points on the left and on the right; lines wrap at its width and
// only lines that fit entirely within the box's height are kept.

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QSizeF>
#include <QString>
#include <QTextLayout>

#include <memory>
#include <vector>

class QPainter;

namespace scrivola {

class TextBoxLayout {
public:
    static constexpr double sidePadding = 4.0;

    struct Line {
        int start = 0;        // first character in text()
        int length = 0;
        double x = 0;         // start of the laid-out text (alignment applied)
        double baseline = 0;  // y of the baseline
        double width = 0;     // natural width of the text (trailing spaces excluded)
        double ascent = 0;
        double descent = 0;
    };

    TextBoxLayout(const QString& text, const QFont& font, Qt::Alignment alignment, const QSizeF& boxSize);
    ~TextBoxLayout();
    TextBoxLayout(const TextBoxLayout&) = delete;
    TextBoxLayout& operator=(const TextBoxLayout&) = delete;

    // The text as laid out: line feeds (LF, CR, CRLF) became line separators, one character each.
    const QString& text() const { return text_; }
    const QFont& font() const { return font_; }
    const std::vector<Line>& lines() const { return lines_; }

    // The glyph runs of visible line `index`, positions box-local (baseline points).
    QList<QGlyphRun> glyphRuns(int index) const;
    // Glyph runs of characters [from, from + length) of visible line `index`.
    QList<QGlyphRun> glyphRuns(int index, int from, int length) const;

    // Decoration lines, box-local, one per visible line with text.
    std::vector<QLineF> underlines() const;
    std::vector<QLineF> strikethroughs() const;
    // Stroke width of the decorations: max(point size x 0.06, 0.8).
    double decorationWidth() const;

    // Draws the visible lines in `color`; the painter's transform maps box-local points.
    void drawText(QPainter& painter, const QColor& color) const;
    void drawDecorations(QPainter& painter, const QColor& color, bool underline, bool strikethrough) const;

private:
    QString text_;
    QFont font_;
    std::unique_ptr<QTextLayout> layout_;
    std::vector<Line> lines_;
};

}  // namespace scrivola
