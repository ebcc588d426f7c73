// Highlight, whiteout and signatures: the tool modes, highlights made from the view's text
// selection, and whiteout and pictures burnt into the page.

#include "pdf/PDFDocumentContext.h"

#include "pdf/HighlightColors.h"
#include "pdf/PDFPageSwap.h"
#include "pdf/engine/PDFPageReplacement.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace scrivola {

void PDFDocumentContext::toggleHighlightMode() {
    textTool_->endInlineEditing();
    const bool on = !isHighlightMode_;
    if (on) {
        setWhiteoutMode(false);
        if (textTool_->isTextAnnotationMode()) textTool_->toggleTextAnnotationMode();
    }
    setHighlightMode(on);
}

void PDFDocumentContext::toggleWhiteoutMode() {
    textTool_->endInlineEditing();
    const bool on = !isWhiteoutMode_;
    if (on) {
        setHighlightMode(false);
        if (textTool_->isTextAnnotationMode()) textTool_->toggleTextAnnotationMode();
    }
    setWhiteoutMode(on);
}

int PDFDocumentContext::highlightSelection() {
    const std::shared_ptr<PDFViewHandle> view = pdfView();
    PDFDocumentModel* model = model_.data();
    if (!view || !model) return 0;
    const std::optional<PDFSelection> selection = view->currentSelection();
    if (!selection || selection->isEmpty()) return 0;
    const PDFDocumentPtr document = model->pdfDocument();
    const QColor color = highlightAnnotationColor(highlightColor_);
    std::vector<Placement> highlights;
    for (const PDFSelection& line : selection->selectionsByLine()) {
        const std::vector<PDFPagePtr> pages = line.pages();
        if (pages.empty()) continue;
        const PDFPagePtr& page = pages.front();
        if (!page || document->index(*page) < 0) continue;
        const QRectF bounds = line.bounds(*page);
        if (!(bounds.width() > 0) || !(bounds.height() > 0)) continue;
        try {
            PDFAnnotationPtr highlight = PDFAnnotation::create(PDFAnnotation::Subtype::highlight, bounds);
            highlight->setColor(color);
            highlights.push_back({std::move(highlight), page, true});
        } catch (const PDFEngineError&) {
        }
    }
    if (highlights.empty()) return 0;
    commitPlacements(QStringLiteral("Highlight"), highlights);
    const int added = int(std::count_if(highlights.begin(), highlights.end(), [](const Placement& p) { return p.annotation->page() != nullptr; }));
    if (added > 0) view->clearSelection();
    return added;
}

bool PDFDocumentContext::applyWhiteout(const QRectF& rect, int index) {
    PDFDocumentModel* model = model_.data();
    if (!model) return false;
    const PDFPagePtr page = model->pdfDocument()->page(index);
    if (!page) return false;
    const QRectF clipped = rect.normalized() & page->bounds(PDFBox::mediaBox);
    if (clipped.isEmpty() || clipped.width() <= 2 || clipped.height() <= 2) return false;

    return commitPageReplacement(QStringLiteral("Whiteout"), page,
                                 [&] { return PDFPageReplacement::whitedOutCopy(*page, clipped); });
}

void PDFDocumentContext::commitPlacements(const QString& name, const std::vector<Placement>& placements) {
    // Each direction only moves annotations not yet where it wants them: a box the view took off
    // its page while re-editing it counts as taken off. A direction fails only when no annotation
    // could be put where it wants it. An annotation keeps its appearance while off its page.
    const auto place = [placements](bool forward) {
        return [placements, forward] {
            bool placed = false;
            for (const Placement& p : placements) {
                const bool present = p.present == forward;
                try {
                    if (present && !p.annotation->page()) p.page->addAnnotation(p.annotation);
                    else if (!present && p.annotation->page()) p.annotation->page()->removeAnnotation(p.annotation);
                } catch (const PDFEngineError&) {
                }
                placed = placed || bool(p.annotation->page()) == present;
            }
            return placed;
        };
    };
    commitEdit(name, place(true), place(false));
}

bool PDFDocumentContext::flattenSignature(const QImage& image, const QRectF& rect, int index) {
    // An open text-box editor ends first: a box being re-edited is off its page and would be lost.
    textTool_->endInlineEditing();
    PDFDocumentModel* model = model_.data();
    if (!model || image.isNull()) return false;
    const PDFPagePtr page = model->pdfDocument()->page(index);
    if (!page) return false;
    const QRectF target = rect.normalized();
    if (!(target.width() > 0 && target.height() > 0) || !std::isfinite(target.width()) || !std::isfinite(target.height()))
        return false;
    // Only a picture that shows on the page changes it.
    if (!target.intersects(page->bounds(PDFBox::cropBox))) return false;

    return commitPageReplacement(QStringLiteral("Place Signature"), page,
                                 [&] { return PDFPageReplacement::copyWithImage(*page, image, target); });
}

bool PDFDocumentContext::commitPageReplacement(const QString& name, const PDFPagePtr& page,
                                               const std::function<PDFPagePtr()>& makeReplacement) {
    PDFPagePtr replacement;
    try {
        replacement = makeReplacement();
    } catch (const PDFEngineError&) {
        return false;
    }
    PDFDocumentModel* model = model_.data();
    if (!model || !replacement) return false;
    // The page objects are the undo record: each direction finds its page by identity, so edits
    // made before or after (rotations, moves, other replacements) never confuse them.
    const auto swap = [model = QPointer<PDFDocumentModel>(model), document = model->pdfDocument()](const PDFPagePtr& out,
                                                                                         const PDFPagePtr& in) {
        return [model, document, out, in] {
            if (!swapPages(*document, out, in)) return false;
            // The next save rewrites the whole file, so the replaced page's content is gone.
            if (model) model->markContentRemoved();
            return true;
        };
    };
    if (!commitEdit(name, swap(page, replacement), swap(replacement, page))) return false;
    textTool_->forgetAnnotationsOf(*page);
    return true;
}

}  // namespace scrivola
