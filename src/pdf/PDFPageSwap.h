#pragma once

#include "pdf/engine/PDFEngine.h"

namespace scrivola {

class PDFDocumentContext;

// Puts `replacement` (a page of the context's document that is not in its page tree, e.g. a
// whitened or signed copy) in the place of `original`, as one undo step of the context's undo
// manager. The original page object is the undo record: undo puts it back exactly, with its
// annotations, and redo puts the replacement back; both find their page by object identity, so
// edits made before or after (rotations, moves, other replacements) never confuse them.
// Bookmarks and links that led to the page lead to its replacement (and back on undo). The model
// is marked modified and as having lost content (its next save rewrites the whole file).
// Returns false, changing nothing, when `original` is not in the document or the swap fails.
bool replacePageUndoably(PDFDocumentContext& context, const PDFPagePtr& original, const PDFPagePtr& replacement);

}  // namespace scrivola
