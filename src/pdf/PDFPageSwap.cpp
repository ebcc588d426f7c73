#include "pdf/PDFPageSwap.h"

#include "pdf/engine/PDFPageReplacement.h"

namespace scrivola {

bool swapPages(PDFDocument& document, const PDFPagePtr& out, const PDFPagePtr& in) {
    if (!out || !in) return false;
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

}  // namespace scrivola
