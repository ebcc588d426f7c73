#include "pdf/PDFPageSwap.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/engine/PDFPageReplacement.h"

namespace scrivola {

namespace {

// Swaps `out` for `in` at the position of `out`; false when `out` is not in the document. On a
// failed insertion the page that was taken out goes back, so no page is ever lost.
bool swapPages(PDFDocument& document, const PDFPagePtr& out, const PDFPagePtr& in) {
    const int index = document.index(*out);
    if (index < 0) return false;
    try {
        document.removePage(index);
    } catch (const PDFEngineError&) {
        return false;
    }
    try {
        document.insertPage(in, index);
    } catch (const PDFEngineError&) {
        try {
            document.insertPage(out, index);
        } catch (const PDFEngineError&) {
        }
        return false;
    }
    PDFPageReplacement::retargetReferences(document, *out, *in);
    return true;
}

// Performs one direction of the replacement and registers the other as its inverse.
bool perform(PDFDocumentContext* context, const PDFDocumentPtr& document, const PDFPagePtr& out, const PDFPagePtr& in) {
    if (!swapPages(*document, out, in)) return false;
    if (PDFDocumentModel* model = context->model()) {
        model->setModified(true);
        model->markContentRemoved();
    }
    context->undoManager()->registerUndo([context, document, out, in] { perform(context, document, in, out); });
    return true;
}

}  // namespace

bool replacePageUndoably(PDFDocumentContext& context, const PDFPagePtr& original, const PDFPagePtr& replacement) {
    PDFDocumentModel* model = context.model();
    if (!model || !original || !replacement) return false;
    const PDFDocumentPtr document = model->pdfDocument();
    if (!document || document->index(*original) < 0) return false;
    UndoGroup group(*context.undoManager());
    return perform(&context, document, original, replacement);
}

}  // namespace scrivola
