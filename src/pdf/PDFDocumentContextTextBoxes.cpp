// Text boxes and the annotation selection of a PDF context: adding, re-editing, moving and
// removing free-text annotations, each with its inverse on the tab's undo manager.

#include "pdf/PDFDocumentContext.h"

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "annotation/TextBoxFont.h"

namespace scrivola {

namespace {

void markModified(PDFDocumentContext* context) {
    if (PDFDocumentModel* model = context->model()) model->setModified(true);
}

// Our text boxes carry their own appearance; redraw it after a change of bounds (the engine
// does so itself once the text-box writer is installed; this covers boxes moved before that).
void refreshIfTextBox(const PDFAnnotationPtr& annotation) {
    if (annotation && annotation->page() && CoreTextFreeTextAnnotation::isTextBox(*annotation))
        CoreTextFreeTextAnnotation(annotation).refreshAppearance();
}

// Registers an action that puts `annotation` on `page` (present) or takes it off; the action
// registers its own opposite, so undo and redo alternate for ever.
void registerPresence(PDFDocumentContext* context, const PDFPagePtr& page, const PDFAnnotationPtr& annotation,
                      bool present) {
    context->undoManager()->registerUndo([context, page, annotation, present] {
        // The annotation keeps its appearance while it is off its page.
        if (present) page->addAnnotation(annotation);
        else page->removeAnnotation(annotation);
        markModified(context);
        registerPresence(context, page, annotation, !present);
    });
}

void registerBounds(PDFDocumentContext* context, const PDFAnnotationPtr& annotation, const QRectF& bounds,
                    const QRectF& opposite) {
    context->undoManager()->registerUndo([context, annotation, bounds, opposite] {
        annotation->setBounds(bounds);
        refreshIfTextBox(annotation);
        markModified(context);
        registerBounds(context, annotation, opposite, bounds);
    });
}

}  // namespace

QFont PDFDocumentContext::buildFont() const {
    return textBoxFont(textFontName_, textFontSize_, textIsBold_, textIsItalic_);
}

void PDFDocumentContext::beginInlineEditing(int pageIndex, const PDFAnnotationPtr& existingAnnotation) {
    setEditingPageIndex(pageIndex);
    setEditingAnnotation(existingAnnotation);
    setInlineEditing(true);
    if (!existingAnnotation) return;

    // Load the box's format into the tool state.
    const CoreTextFreeTextAnnotation box(existingAnnotation);
    const double size = existingAnnotation->fontSize();
    if (size > 0) setTextFontSize(size);
    const StoredFontName name = parseStoredFontName(existingAnnotation->fontName());
    setTextIsBold(name.bold);
    setTextIsItalic(name.italic);
    setTextFontName(name.family.isEmpty() ? QStringLiteral("Helvetica") : name.family);
    setTextFontColor(box.fontColor());
    setTextAlignment(box.alignment());
    setTextIsUnderline(box.isUnderline());
    setTextIsStrikethrough(box.isStrikethrough());
}

void PDFDocumentContext::confirmTextAnnotation(const QString& text, const QRectF& bounds) {
    PDFDocumentModel* model = model_.data();
    const PDFDocumentPtr document = model ? model->pdfDocument() : nullptr;
    const PDFPagePtr page = document ? document->page(editingPageIndex_) : nullptr;
    const PDFAnnotationPtr old = editingAnnotation_;

    if (text.trimmed().isEmpty()) {
        // Blank text: a re-edited box is deleted (undoably), a new one leaves nothing behind.
        if (old && page) removeTextAnnotation(old, page);
        else cancelInlineEditing();
        return;
    }
    if (!page) {
        // No page to put the box on: nothing is added, and the editing state ends.
        cancelInlineEditing();
        return;
    }

    UndoManager* undo = undoManager();
    undo->beginUndoGrouping();
    CoreTextFreeTextAnnotation::Properties properties;
    properties.contents = text;
    properties.font = buildFont();
    properties.fontColor = textFontColor_;
    properties.alignment = textAlignment_;
    properties.isUnderline = textIsUnderline_;
    properties.isStrikethrough = textIsStrikethrough_;
    const CoreTextFreeTextAnnotation box = CoreTextFreeTextAnnotation::create(bounds, properties);
    const PDFAnnotationPtr added = box.annotation();
    page->addAnnotation(added);  // writes the box's appearance
    markModified(this);
    if (old) {
        // A re-edit replaces the box by the new one. The view took the old box off its page
        // while editing; if it is still on one, take it off here.
        const PDFPagePtr oldPage = old->page() ? old->page() : page;
        if (old->page()) old->page()->removeAnnotation(old);
        registerPresence(this, oldPage, old, true);
        registerPresence(this, page, added, false);
    } else {
        registerPresence(this, page, added, false);
    }
    undo->endUndoGrouping();
    incrementDocumentRevision();
    updateUndoState();
    setInlineEditing(false);
    setEditingAnnotation(nullptr);
}

void PDFDocumentContext::endInlineEditing() {
    if (!isInlineEditing_) return;
    if (const std::shared_ptr<PDFViewHandle> view = pdfView()) view->endInlineEditing();
    if (isInlineEditing_) cancelInlineEditing();
}

void PDFDocumentContext::cancelInlineEditing() {
    setInlineEditing(false);
    setEditingAnnotation(nullptr);
}

void PDFDocumentContext::moveTextAnnotation(const PDFAnnotationPtr& annotation, const QRectF& from, const QRectF& to,
                                            int pageIndex) {
    Q_UNUSED(pageIndex);  // the annotation knows its page; the undo record holds the object itself
    if (!annotation) return;
    refreshIfTextBox(annotation);
    markModified(this);
    registerBounds(this, annotation, from, to);
    incrementDocumentRevision();
    updateUndoState();
}

void PDFDocumentContext::removeTextAnnotation(const PDFAnnotationPtr& annotation, const PDFPagePtr& page) {
    if (!annotation || !page) return;
    page->removeAnnotation(annotation);
    markModified(this);
    registerPresence(this, page, annotation, true);
    incrementDocumentRevision();
    updateUndoState();
    setInlineEditing(false);
    setEditingAnnotation(nullptr);
}

void PDFDocumentContext::toggleTextAnnotationMode() {
    endInlineEditing();
    const bool on = !isTextAnnotationMode_;
    setTextAnnotationMode(on);
    if (!on) {
        clearAnnotationSelection();
        setAnnotationsSidebarVisible(false);
        return;
    }
    setTextSubMode(TextSubMode::select);
    setHighlightMode(false);
    setWhiteoutMode(false);
    setAnnotationsSidebarVisible(true);
}

// --- Annotation selection ---------------------------------------------------------------------

void PDFDocumentContext::clearAnnotationSelection() {
    setSelectedAnnotations({});
    setSelectedAnnotationObjects({});
}

void PDFDocumentContext::selectAnnotation(const PDFAnnotationPtr& annotation) {
    if (!annotation) {
        clearAnnotationSelection();
        return;
    }
    setSelectedAnnotations({annotation.get()});
    setSelectedAnnotationObjects({annotation});
}

void PDFDocumentContext::toggleAnnotationSelection(const PDFAnnotationPtr& annotation) {
    if (!annotation) return;
    std::set<AnnotationIdentity> ids = selectedAnnotations_;
    std::vector<PDFAnnotationPtr> objects = selectedAnnotationObjects_;
    if (ids.erase(annotation.get()) > 0) {
        std::erase_if(objects, [&](const PDFAnnotationPtr& a) { return a.get() == annotation.get(); });
    } else {
        ids.insert(annotation.get());
        objects.push_back(annotation);
    }
    setSelectedAnnotations(ids);
    setSelectedAnnotationObjects(objects);
}

void PDFDocumentContext::selectAnnotations(const std::vector<PDFAnnotationPtr>& annotations) {
    std::set<AnnotationIdentity> ids;
    std::vector<PDFAnnotationPtr> objects;
    for (const PDFAnnotationPtr& a : annotations) {
        if (!a || !ids.insert(a.get()).second) continue;
        objects.push_back(a);
    }
    setSelectedAnnotations(ids);
    setSelectedAnnotationObjects(objects);
}

void PDFDocumentContext::deleteSelectedAnnotations() {
    const std::vector<PDFAnnotationPtr> objects = selectedAnnotationObjects_;
    if (objects.empty()) return;
    UndoManager* undo = undoManager();
    undo->beginUndoGrouping();
    for (const PDFAnnotationPtr& annotation : objects)
        if (const PDFPagePtr page = annotation->page()) removeTextAnnotation(annotation, page);
    undo->endUndoGrouping();
    clearAnnotationSelection();
}

}  // namespace scrivola
