#pragma once

#include "pdf/engine/PDFEngine.h"

#include <QPointF>

#include <functional>
#include <optional>

namespace scrivola {

// How a text selection made with the mouse grows: by characters (a drag), by words (a double
// click and drag) or by whole lines (a triple click and drag).
enum class TextSnap { character, word, line };

// A caret in a document's text: before the character `index` of line `line` of page `page`, lines
// counted over the page's blocks in reading order (index == the line's length: after its end).
struct TextCaret {
    int page = 0;
    int line = 0;
    int index = 0;
    auto operator<=>(const TextCaret&) const = default;
};

// Text selection with the mouse, from the pages' structured text (cached by the caller per page
// and revision). Page points are in page space, like the text's boxes.
namespace PDFTextSelection {

// The page's text and the page itself, or a null page when it cannot be had.
struct PageTextSource {
    PDFPagePtr page;
    const PDFPageText* text = nullptr;
};
using PageTexts = std::function<PageTextSource(int page)>;

// The caret nearest to `point` on a page: in the line under the point, or else the nearest line;
// before a character when the point lies on its first half. None for a page without text.
std::optional<TextCaret> caretAt(const PDFPageText& text, int page, const QPointF& point);

// The text between two carets, in either order, grown as `snap` says; one range per line, across
// pages. Empty when nothing lies between them.
PDFSelection select(const PageTexts& texts, TextCaret anchor, TextCaret focus, TextSnap snap);

}  // namespace PDFTextSelection

}  // namespace scrivola
