// Text boxes and the annotation selection of a PDF context: adding, re-editing, moving and
// removing free-text annotations, each with its inverse on the tab's undo manager.

#include "pdf/PDFDocumentContext.h"

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "annotation/TextBoxFont.h"

namespace scrivola {

namespace {

// Our text boxes carry their own appearance; redraw it after a change of bounds (the engine
// does so itself once the text-box writer is installed; this covers boxes moved before that).
void refreshIfTextBox(const PDFAnnotationPtr& annotation) {
    if (annotation && annotation->page() && CoreTextFreeTextAnnotation::isTextBox(*annotation))
        CoreTextFreeTextAnnotation(annotation).refreshAppearance();
}

QString kindOf(const PDFAnnotationPtr& annotation) {
    return CoreTextFreeTextAnnotation::isTextBox(*annotation) ? QStringLiteral("Text Box") : QStringLiteral("Annotation");
}

}  // namespace

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

    CoreTextFreeTextAnnotation::Properties properties;
    properties.contents = text;
    properties.font = buildFont();
    properties.fontColor = textFontColor_;
    properties.alignment = textAlignment_;
    properties.isUnderline = textIsUnderline_;
    properties.isStrikethrough = textIsStrikethrough_;
    const PDFAnnotationPtr added = CoreTextFreeTextAnnotation::create(bounds, properties).annotation();
    // Adding writes the box's appearance. A re-edit replaces the old box by the new one; the view
    // took the old box off its page while editing, and if it is still on one it goes here.
    std::vector<Placement> placements{{added, page, true}};
    if (old) placements.push_back({old, old->page() ? old->page() : page, false});
    commitPlacements(old ? QStringLiteral("Edit Text Box") : QStringLiteral("Add Text Box"), placements);
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
    // The view has already moved it; applying the move again only redraws it there.
    const auto moveTo = [annotation](const QRectF& bounds) {
        return [annotation, bounds] {
            annotation->setBounds(bounds);
            refreshIfTextBox(annotation);
            return true;
        };
    };
    commitEdit(QStringLiteral("Move ") + kindOf(annotation), moveTo(to), moveTo(from));
}

void PDFDocumentContext::removeTextAnnotation(const PDFAnnotationPtr& annotation, const PDFPagePtr& page) {
    if (!annotation || !page) return;
    commitPlacements(QStringLiteral("Delete ") + kindOf(annotation), {{annotation, page, false}});
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
    std::vector<Placement> placements;
    for (const PDFAnnotationPtr& annotation : selectedAnnotationObjects_)
        if (const PDFPagePtr page = annotation->page()) placements.push_back({annotation, page, false});
    clearAnnotationSelection();
    if (placements.empty()) return;
    const QString name = placements.size() == 1 ? QStringLiteral("Delete ") + kindOf(placements.front().annotation)
                                                : QStringLiteral("Delete Annotations");
    commitPlacements(name, placements);
    setInlineEditing(false);
    setEditingAnnotation(nullptr);
}

}  // namespace scrivola
