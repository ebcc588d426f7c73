// Highlight and whiteout: the tool modes, highlights made from the view's text selection, and
// whiteout burnt into the page.

#include "pdf/PDFDocumentContext.h"

#include "pdf/HighlightColors.h"
#include "pdf/PDFPageSwap.h"
#include "pdf/engine/PDFPageReplacement.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace scrivola {

void PDFDocumentContext::toggleHighlightMode() {
    endInlineEditing();
    const bool on = !isHighlightMode_;
    if (on) {
        setWhiteoutMode(false);
        if (isTextAnnotationMode_) toggleTextAnnotationMode();
    }
    setHighlightMode(on);
}

void PDFDocumentContext::toggleWhiteoutMode() {
    endInlineEditing();
    const bool on = !isWhiteoutMode_;
    if (on) {
        setHighlightMode(false);
        if (isTextAnnotationMode_) toggleTextAnnotationMode();
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
    forgetAnnotationsOf(*page);
    return true;
}

void PDFDocumentContext::forgetAnnotationsOf(const PDFPage& page) {
    // Annotations drawn into a replacement page can no longer be selected or edited.
    std::set<AnnotationIdentity> gone;
    for (const PDFAnnotationPtr& annotation : page.annotations()) gone.insert(annotation.get());
    if (gone.empty()) return;
    if (isInlineEditing_ && gone.count(editingAnnotation_.get())) cancelInlineEditing();
    std::set<AnnotationIdentity> identities;
    for (AnnotationIdentity identity : selectedAnnotations_)
        if (!gone.count(identity)) identities.insert(identity);
    std::vector<PDFAnnotationPtr> objects;
    for (const PDFAnnotationPtr& annotation : selectedAnnotationObjects_)
        if (!gone.count(annotation.get())) objects.push_back(annotation);
    if (identities != selectedAnnotations_) setSelectedAnnotations(identities);
    if (objects.size() != selectedAnnotationObjects_.size()) setSelectedAnnotationObjects(objects);
    if (gone.count(lastSelectedAnnotation_.get())) setLastSelectedAnnotation(nullptr);
}

}  // namespace scrivola
