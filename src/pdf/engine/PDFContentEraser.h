#pragma once

// Private to the engine folder: removes what lies under a rectangle from a page's content
// stream, character by character, without moving anything else.
//
// A character goes when more than half of its glyph box lies inside the rectangle: the box of
// its outline (for glyphs without ink, such as spaces or invisible OCR text, its advance width
// × 0.2 em below to 0.8 em above the baseline), placed by the text matrix, the text state and
// the current transformation. A shown string that loses characters is written again as a TJ
// array in which each removed character is replaced by a displacement equal to its advance
// (character and word spacing included, computed to the same single-precision value), so every
// other character keeps its exact place; text positioning operators are never changed, so
// later text does not move either.
//
// Form XObjects drawn over the rectangle are handled the same way, each in a private copy under
// a fresh resource name (the original, which other pages or annotations may share, is not
// touched); originals no longer drawn leave the resources, so what the copies removed is not
// kept in the file. Image pixels that lie entirely inside the rectangle are set to white in
// a new image object (inline images become image XObjects). Everything else (paths, shadings, other
// operators) is passed through as it is.

#include "pdf/engine/EngineContext.h"

namespace scrivola::engine {

// Erases `area` (user space) from the content of `page`, a page object whose /Resources and
// /Resources /XObject dictionaries belong to it alone (new XObjects are added there). The page's
// /Contents becomes one new stream when anything was removed. Returns the number of characters
// removed plus the number of images changed. Runs inside fz_try.
int eraseArea(fz_context* ctx, pdf_document* doc, pdf_obj* page, fz_rect area);

}  // namespace scrivola::engine
