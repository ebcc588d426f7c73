#pragma once

#include "pdf/engine/PDFEngine.h"

#include <QPointF>

#include <optional>

namespace scrivola {

// What the document context needs from the on-screen PDF view of its tab. The view layer
// implements it; tests fake it.
// View coordinates have their origin at the bottom-left corner of the view, y up; page space is
// the engine's (see PDFEngine.h).
class PDFViewHandle {
public:
    virtual ~PDFViewHandle() = default;

    // The user's current text selection, or none.
    virtual std::optional<PDFSelection> currentSelection() const = 0;
    virtual void clearSelection() = 0;
    // Index of the page under a point in view coordinates; with `nearest`, the closest page
    // when the point lies between pages. -1 when there is none.
    virtual int pageIndexAt(const QPointF& viewPoint, bool nearest) const = 0;
    // A point in view coordinates converted into the page space of the page at `pageIndex`.
    virtual QPointF convertToPage(const QPointF& viewPoint, int pageIndex) const = 0;
    // Ends an open text-box editor: its text is committed when not blank, otherwise a box being
    // re-edited goes back on its page. Called before anything that reads or changes the pages.
    virtual void endInlineEditing() {}
    // Puts bullets before the selected lines of the open text-box editor, or takes them away.
    virtual void toggleBulletList() {}
};

}  // namespace scrivola
