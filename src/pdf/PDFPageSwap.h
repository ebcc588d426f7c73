#pragma once

#include "pdf/engine/PDFEngine.h"

namespace scrivola {

// Puts `in` (a page of `document` that is not in its page tree, e.g. a whitened or signed copy,
// or the original it replaced) in the place of `out`, found by object identity. Bookmarks and
// links that led to `out` lead to `in`. Returns false, changing nothing, when `out` is not in the
// document or the swap fails: a page taken out is put back, so no page is ever lost.
bool swapPages(PDFDocument& document, const PDFPagePtr& out, const PDFPagePtr& in);

}  // namespace scrivola
