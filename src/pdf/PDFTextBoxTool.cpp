// The text-box tool of a PDF tab: adding, re-editing, moving and removing free-text
// annotations, each with its inverse on the tab's undo manager, and the annotation selection.

#include "pdf/PDFTextBoxTool.h"

#include "pdf/PDFDocumentContext.h"

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "annotation/TextBoxFont.h"

#include <algorithm>

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

PDFTextBoxTool::PDFTextBoxTool(PDFDocumentContext* context) : QObject(context), context_(context) {}

void PDFTextBoxTool::setEditing(bool editing, const PDFAnnotationPtr& annotation) {
    editingAnnotation_ = annotation;
    if (isInlineEditing_ == editing) return;
    isInlineEditing_ = editing;
    emit inlineEditingChanged();
}

void PDFTextBoxTool::setSelection(std::set<AnnotationIdentity> identities, std::vector<PDFAnnotationPtr> objects) {
    if (identities == selectedAnnotations_ && objects == selectedAnnotationObjects_) return;
    selectedAnnotations_ = std::move(identities);
    selectedAnnotationObjects_ = std::move(objects);
    emit changed();
}

QFont PDFTextBoxTool::buildFont() const {
    return textBoxFont(textFontName_, textFontSize_, textIsBold_, textIsItalic_);
}

void PDFTextBoxTool::beginInlineEditing(int pageIndex, const PDFAnnotationPtr& existingAnnotation) {
    editingPageIndex_ = pageIndex;
    setEditing(true, existingAnnotation);
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

void PDFTextBoxTool::confirmTextAnnotation(const QString& text, const QRectF& bounds) {
    PDFDocumentModel* model = context_->model();
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
    std::vector<PDFDocumentContext::Placement> placements{{added, page, true}};
    if (old) placements.push_back({old, old->page() ? old->page() : page, false});
    context_->commitPlacements(old ? QStringLiteral("Edit Text Box") : QStringLiteral("Add Text Box"), placements);
    setEditing(false, nullptr);
}

void PDFTextBoxTool::endInlineEditing() {
    if (!isInlineEditing_) return;
    if (const std::shared_ptr<PDFViewHandle> view = context_->pdfView()) view->endInlineEditing();
    if (isInlineEditing_) cancelInlineEditing();
}

void PDFTextBoxTool::cancelInlineEditing() {
    setEditing(false, nullptr);
}

void PDFTextBoxTool::moveTextAnnotation(const PDFAnnotationPtr& annotation, const QRectF& from, const QRectF& to,
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
    context_->commitEdit(QStringLiteral("Move ") + kindOf(annotation), moveTo(to), moveTo(from));
}

void PDFTextBoxTool::removeTextAnnotation(const PDFAnnotationPtr& annotation, const PDFPagePtr& page) {
    if (!annotation || !page) return;
    context_->commitPlacements(QStringLiteral("Delete ") + kindOf(annotation), {{annotation, page, false}});
    setEditing(false, nullptr);
}

void PDFTextBoxTool::toggleTextAnnotationMode() {
    endInlineEditing();
    const bool on = !isTextAnnotationMode_;
    assign(isTextAnnotationMode_, on);
    if (!on) {
        clearAnnotationSelection();
        context_->setAnnotationsSidebarVisible(false);
        return;
    }
    setTextSubMode(TextSubMode::select);
    context_->setHighlightMode(false);
    context_->setWhiteoutMode(false);
    context_->setAnnotationsSidebarVisible(true);
}

// --- Annotation selection ---------------------------------------------------------------------

void PDFTextBoxTool::clearAnnotationSelection() {
    setSelection({}, {});
}

void PDFTextBoxTool::selectAnnotation(const PDFAnnotationPtr& annotation) {
    if (!annotation) {
        clearAnnotationSelection();
        return;
    }
    setSelection({annotation.get()}, {annotation});
}

void PDFTextBoxTool::toggleAnnotationSelection(const PDFAnnotationPtr& annotation) {
    if (!annotation) return;
    std::set<AnnotationIdentity> ids = selectedAnnotations_;
    std::vector<PDFAnnotationPtr> objects = selectedAnnotationObjects_;
    if (ids.erase(annotation.get()) > 0) {
        std::erase_if(objects, [&](const PDFAnnotationPtr& a) { return a.get() == annotation.get(); });
    } else {
        ids.insert(annotation.get());
        objects.push_back(annotation);
    }
    setSelection(std::move(ids), std::move(objects));
}

void PDFTextBoxTool::selectAnnotations(const std::vector<PDFAnnotationPtr>& annotations) {
    std::set<AnnotationIdentity> ids;
    std::vector<PDFAnnotationPtr> objects;
    for (const PDFAnnotationPtr& a : annotations) {
        if (!a || !ids.insert(a.get()).second) continue;
        objects.push_back(a);
    }
    setSelection(std::move(ids), std::move(objects));
}

void PDFTextBoxTool::deleteSelectedAnnotations() {
    std::vector<PDFDocumentContext::Placement> placements;
    for (const PDFAnnotationPtr& annotation : selectedAnnotationObjects_)
        if (const PDFPagePtr page = annotation->page()) placements.push_back({annotation, page, false});
    clearAnnotationSelection();
    if (placements.empty()) return;
    const QString name = placements.size() == 1 ? QStringLiteral("Delete ") + kindOf(placements.front().annotation)
                                                : QStringLiteral("Delete Annotations");
    context_->commitPlacements(name, placements);
    setEditing(false, nullptr);
}

// --- The annotations sidebar ---------------------------------------------------------------------

std::vector<PageAnnotations> PDFTextBoxTool::groupedTextAnnotations() const {
    std::vector<PageAnnotations> groups;
    PDFDocumentModel* model = context_->model();
    const PDFDocumentPtr document = model ? model->pdfDocument() : nullptr;
    if (!document) return groups;
    const int count = document->pageCount();
    for (int index = 0; index < count; ++index) {
        const PDFPagePtr page = document->page(index);
        if (!page) continue;
        PageAnnotations group{index, {}};
        for (const PDFAnnotationPtr& annotation : page->annotations())
            if (CoreTextFreeTextAnnotation::isFreeText(*annotation)) group.annotations.push_back(annotation);
        if (!group.annotations.empty()) groups.push_back(std::move(group));
    }
    return groups;
}

std::vector<PDFAnnotationPtr> PDFTextBoxTool::flatten(const std::vector<PageAnnotations>& groups) {
    std::vector<PDFAnnotationPtr> list;
    for (const PageAnnotations& group : groups) list.insert(list.end(), group.annotations.begin(), group.annotations.end());
    return list;
}

void PDFTextBoxTool::selectAnnotationFromSidebar(const PDFAnnotationPtr& annotation) {
    if (!annotation) return;
    selectAnnotation(annotation);
    setLastSelectedAnnotation(annotation);
}

void PDFTextBoxTool::toggleAnnotationSidebarSelection(const PDFAnnotationPtr& annotation) {
    if (!annotation) return;
    toggleAnnotationSelection(annotation);
    setLastSelectedAnnotation(annotation);
}

void PDFTextBoxTool::extendAnnotationSidebarSelection(const PDFAnnotationPtr& annotation,
                                                      const std::vector<PDFAnnotationPtr>& list) {
    if (!annotation) return;
    const auto position = [&list](const PDFAnnotation* identity) {
        const auto it = std::find_if(list.begin(), list.end(), [identity](const PDFAnnotationPtr& a) { return a.get() == identity; });
        return it == list.end() ? -1 : int(it - list.begin());
    };
    const int anchor = lastSelectedAnnotation_ ? position(lastSelectedAnnotation_.get()) : -1;
    const int target = position(annotation.get());
    if (anchor < 0 || target < 0) {
        selectAnnotation(annotation);
        setLastSelectedAnnotation(annotation);
        return;
    }
    std::set<AnnotationIdentity> ids = selectedAnnotations_;
    std::vector<PDFAnnotationPtr> objects = selectedAnnotationObjects_;
    for (int i = std::min(anchor, target); i <= std::max(anchor, target); ++i)
        if (ids.insert(list[size_t(i)].get()).second) objects.push_back(list[size_t(i)]);
    setSelection(std::move(ids), std::move(objects));
    setLastSelectedAnnotation(annotation);
}

void PDFTextBoxTool::forgetAnnotationsOf(const PDFPage& page) {
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
    setSelection(std::move(identities), std::move(objects));
    if (gone.count(lastSelectedAnnotation_.get())) setLastSelectedAnnotation(nullptr);
}

}  // namespace scrivola
