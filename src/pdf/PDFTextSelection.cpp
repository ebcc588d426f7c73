#include "pdf/PDFTextSelection.h"

#include <QChar>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace scrivola::PDFTextSelection {

namespace {

std::vector<const PDFTextLine*> linesOf(const PDFPageText& text) {
    std::vector<const PDFTextLine*> lines;
    for (const PDFTextBlock& block : text.blocks)
        for (const PDFTextLine& line : block.lines) lines.push_back(&line);
    return lines;
}

bool isSpace(char32_t c) { return c <= 0xffff ? QChar(char16_t(c)).isSpace() : false; }

int length(const PDFTextLine& line) { return int(line.chars.size()); }

// Distance from a point to a rectangle along one axis (0 inside).
double gap(double value, double low, double high) { return std::max({low - value, 0.0, value - high}); }

// Widens [from, to) of a line to whole words: runs of characters between spaces.
void snapToWords(const PDFTextLine& line, int& from, int& to) {
    while (from > 0 && !isSpace(line.chars[size_t(from - 1)].character)) --from;
    while (to < length(line) && !isSpace(line.chars[size_t(to)].character)) ++to;
}

}  // namespace

std::optional<TextCaret> caretAt(const PDFPageText& text, int page, const QPointF& point) {
    const std::vector<const PDFTextLine*> lines = linesOf(text);
    int best = -1;
    double bestVertical = std::numeric_limits<double>::infinity();
    double bestHorizontal = std::numeric_limits<double>::infinity();
    for (int i = 0; i < int(lines.size()); ++i) {
        const QRectF box = lines[size_t(i)]->bounds.normalized();
        const double vertical = gap(point.y(), box.top(), box.bottom());
        const double horizontal = gap(point.x(), box.left(), box.right());
        if (vertical < bestVertical || (vertical == bestVertical && horizontal < bestHorizontal)) {
            best = i;
            bestVertical = vertical;
            bestHorizontal = horizontal;
        }
    }
    if (best < 0) return std::nullopt;
    // Before every character whose middle lies right of the point.
    const PDFTextLine& line = *lines[size_t(best)];
    int index = 0;
    while (index < length(line) && line.chars[size_t(index)].bounds.normalized().center().x() < point.x()) ++index;
    return TextCaret{page, best, index};
}

PDFSelection select(const PageTexts& texts, TextCaret anchor, TextCaret focus, TextSnap snap) {
    const TextCaret first = std::min(anchor, focus);
    const TextCaret last = std::max(anchor, focus);
    std::vector<PDFSelection::LineRange> ranges;
    for (int page = first.page; page <= last.page; ++page) {
        const PageTextSource source = texts(page);
        if (!source.page || !source.text) continue;
        const std::vector<const PDFTextLine*> lines = linesOf(*source.text);
        const int firstLine = page == first.page ? std::max(first.line, 0) : 0;
        const int lastLine = page == last.page ? std::min(last.line, int(lines.size()) - 1) : int(lines.size()) - 1;
        for (int l = firstLine; l <= lastLine; ++l) {
            const PDFTextLine& line = *lines[size_t(l)];
            const bool opens = page == first.page && l == first.line;
            const bool closes = page == last.page && l == last.line;
            int from = opens ? std::clamp(first.index, 0, length(line)) : 0;
            int to = closes ? std::clamp(last.index, 0, length(line)) : length(line);
            if (snap == TextSnap::line) {
                from = 0;
                to = length(line);
            } else if (snap == TextSnap::word) {
                // Only the ends move: the lines in between are whole already.
                int start = from;
                int end = to;
                snapToWords(line, start, end);
                if (opens) from = start;
                if (closes) to = end;
            }
            if (to <= from) continue;
            QRectF bounds;
            std::u32string characters;
            for (int i = from; i < to; ++i) {
                bounds = bounds.united(line.chars[size_t(i)].bounds.normalized());
                characters.push_back(line.chars[size_t(i)].character);
            }
            ranges.push_back({source.page, bounds, QString::fromStdU32String(characters)});
        }
    }
    return PDFSelection(std::move(ranges));
}

}  // namespace scrivola::PDFTextSelection
