// Opens a PDF from bytes the way a window does and walks it: text boxes restored, every page's
// boxes, text and annotations (the first pages only), one small render, then a compacting save
// to memory and a reopen of what it wrote.
#include "FuzzSupport.h"

#include "annotation/TextBoxRestoration.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/engine/PDFEngine.h"
#include "pdf/engine/PDFSaving.h"
#include "workspace/DocumentTypes.h"

#include <algorithm>

using namespace scrivola;

namespace {

constexpr int kPagesWalked = 4;
constexpr double kRenderPixels = 96;  // longest side of the one render

void walk(PDFDocumentModel& model) {
    PDFDocumentContext context(&model);
    const PDFDocumentPtr& document = model.pdfDocument();
    const int count = std::min(context.totalPages(), kPagesWalked);
    for (int i = 0; i < count; ++i) {
        const PDFPagePtr page = document->page(i);
        if (!page) continue;
        (void)page->bounds(PDFBox::cropBox);
        (void)page->rotatedSize();
        (void)page->text().plainText();
        for (const PDFAnnotationPtr& annotation : page->annotations()) {
            (void)annotation->type();
            (void)annotation->bounds();
            (void)annotation->contents();
            (void)annotation->quadRects();
        }
        if (i == 0) {
            if (const auto list = page->displayList(true)) {
                const QSizeF size = list->rotatedSize();
                const double side = std::max(size.width(), size.height());
                if (side > 0) (void)list->render(std::min(1.0, kRenderPixels / side), qint64(4) << 20);
            }
        }
    }
    const QByteArray saved = PDFSaving::compactedBytes(*document);
    (void)PDFDocument::loadFromData(saved)->pageCount();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ensureApplication();
    try {
        PDFDocumentPtr document = PDFDocument::loadFromData(fuzz::bytes(data, size));
        restoreTextBoxes(*document);
        PDFDocumentModel model(document);
        walk(model);
    } catch (const PDFEngineError&) {
    } catch (const DocumentError&) {
    }
    return 0;
}
