// Highlight and whiteout: the tool modes, highlights made from the view's text selection, and
// whiteout burnt into the page.

#include "pdf/PDFDocumentContext.h"

#include "pdf/HighlightColors.h"
#include "pdf/PDFPageSwap.h"
#include "pdf/engine/PDFPageReplacement.h"

#include <utility>
#include <vector>

namespace scrivola {

namespace {

using PlacedAnnotations = std::vector<std::pair<PDFAnnotationPtr, PDFPagePtr>>;

void addHighlights(PDFDocumentContext* context, const PlacedAnnotations& items);

// Takes the highlights off their pages; the inverse puts the same objects back.
void removeHighlights(PDFDocumentContext* context, const PlacedAnnotations& items) {
    for (const auto& [annotation, page] : items) {
        try {
            page->removeAnnotation(annotation);
        } catch (const PDFEngineError&) {
        }
    }
    if (PDFDocumentModel* model = context->model()) model->setModified(true);
    context->undoManager()->registerUndo([context, items] { addHighlights(context, items); });
}

void addHighlights(PDFDocumentContext* context, const PlacedAnnotations& items) {
    for (const auto& [annotation, page] : items) {
        try {
            page->addAnnotation(annotation);
        } catch (const PDFEngineError&) {
        }
    }
    if (PDFDocumentModel* model = context->model()) model->setModified(true);
    context->undoManager()->registerUndo([context, items] { removeHighlights(context, items); });
}

}  // namespace

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

    PlacedAnnotations added;
    {
        UndoGroup group(*undoManager());
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
                page->addAnnotation(highlight);
                added.emplace_back(std::move(highlight), page);
            } catch (const PDFEngineError&) {
                continue;
            }
        }
        if (!added.empty()) {
            model->setModified(true);
            PDFDocumentContext* context = this;
            undoManager()->registerUndo([context, added] { removeHighlights(context, added); });
        }
    }
    if (added.empty()) return 0;
    view->clearSelection();
    incrementDocumentRevision();
    updateUndoState();
    return int(added.size());
}

bool PDFDocumentContext::applyWhiteout(const QRectF& rect, int index) {
    PDFDocumentModel* model = model_.data();
    if (!model) return false;
    const PDFPagePtr page = model->pdfDocument()->page(index);
    if (!page) return false;
    const QRectF clipped = rect.normalized() & page->bounds(PDFBox::mediaBox);
    if (clipped.isEmpty() || clipped.width() <= 2 || clipped.height() <= 2) return false;

    return commitPageReplacement(page, [&] { return PDFPageReplacement::whitedOutCopy(*page, clipped); });
}

bool PDFDocumentContext::commitPageReplacement(const PDFPagePtr& page, const std::function<PDFPagePtr()>& makeReplacement) {
    PDFPagePtr replacement;
    try {
        replacement = makeReplacement();
    } catch (const PDFEngineError&) {
        return false;
    }
    if (!replacePageUndoably(*this, page, replacement)) return false;
    forgetAnnotationsOf(*page);
    incrementDocumentRevision();
    updateUndoState();
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
