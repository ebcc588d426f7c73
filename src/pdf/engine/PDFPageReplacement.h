#pragma once

// Page-content edits that replace a page: a copy of the page with its annotations drawn flat
// into its content, on which a rectangle is erased (whiteout) or a picture is drawn (signatures
// and stamps).
//
// The copy is a new page object of the same document that is not in the page tree yet; the
// caller swaps it in for the original (PDFDocument::removePage + insertPage), and the original
// page object stays valid as the undo record: putting it back restores the page exactly, with
// its annotations as annotations.
//
// The copy keeps the original's media, crop, bleed, trim and art boxes, /Rotate, /UserUnit,
// transparency group and other page entries. Every visible annotation (not Hidden, not NoView)
// is drawn through its normal appearance stream as a form XObject placed at its /Rect, so vector
// content and text stay vector content and text. Links stay interactive links; popups go with
// their parents. Resources of the original are never changed.
//
// Main thread only, like the documents. All functions throw PDFEngineError(operationFailed).

#include "pdf/engine/PDFEngine.h"

#include <QImage>
#include <QRectF>

namespace scrivola::PDFPageReplacement {

// The flattened copy of `page` (see above), with nothing else changed.
PDFPagePtr flattenedCopy(const PDFPage& page);

// The flattened copy with everything under `rect` (page space) removed: characters whose glyph
// box lies mostly inside it and the image pixels under it are taken out of the content (see
// PDFContentEraser.h), nothing else moves, then an opaque white rectangle is painted over what
// stays (line art). Links that overlap the rectangle are dropped. `rect` is clipped to the
// media box; an empty result throws.
PDFPagePtr whitedOutCopy(const PDFPage& page, const QRectF& rect);

// The flattened copy with `image` drawn scaled into `rect` (page space), upright as the page is
// shown (turned against the page's /Rotate), clipped to the page's crop box. The picture is
// embedded (with its transparency) at no more than 300 pixels per inch of its placed size.
PDFPagePtr copyWithImage(const PDFPage& page, const QImage& image, const QRectF& rect);

// Points every reference to the page object `from` (outline and link destinations, named
// destinations, structure elements) at the page object `to`, except references held by the
// annotations of `from` itself. Used when a replacement page takes the place of another, so
// bookmarks and links keep leading to the page. Never throws; returns the number of
// references changed.
int retargetReferences(PDFDocument& document, const PDFPage& from, const PDFPage& to);

}  // namespace scrivola::PDFPageReplacement
