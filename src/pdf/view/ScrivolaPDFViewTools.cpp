// The tools of the page view: text boxes (selecting, moving, rubber band, adding and re-editing
// them in the inline editor) and the whiteout rectangle. Gestures are reported through the view's
// signals; the context makes the changes and records undo.

#include "pdf/view/ScrivolaPDFView.h"

#include "annotation/CoreTextFreeTextAnnotation.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {

// Moves shorter than this, in page points on both axes, are clicks.
constexpr double kDragThreshold = 3;
// Rubber bands and whiteout rectangles must be larger than this in both directions.
constexpr double kMinimumRect = 3;

bool contains(const std::vector<PDFAnnotationPtr>& list, const PDFAnnotationPtr& annotation) {
    return std::find(list.begin(), list.end(), annotation) != list.end();
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(float(alpha));
    return color;
}

}  // namespace

void ScrivolaPDFView::setTools(const PDFViewTools& tools) {
    const bool selectionChanged = tools.selectedAnnotations != tools_.selectedAnnotations;
    const bool formatChanged = tools.font != tools_.font || tools.fontColor != tools_.fontColor ||
                               tools.alignment != tools_.alignment || tools.underline != tools_.underline ||
                               tools.strikethrough != tools_.strikethrough;
    tools_ = tools;
    updateToolCursor();
    // The text tool was switched off: the box being typed is finished.
    if (!tools_.textAnnotationMode) endInlineEditing();
    if (editor_ && formatChanged) {
        // A toolbar change while typing restyles the whole box.
        QFont font = tools_.font;
        editorFontPoints_ = font.pointSizeF() > 0 ? font.pointSizeF() : 12;
        editor_->setTextFormat(font, tools_.fontColor, tools_.alignment);
        editor_->setDecorations(tools_.underline, tools_.strikethrough);
        placeInlineEditor();
    }
    if (selectionChanged) viewport()->update();
}

void ScrivolaPDFView::noteLocalEdit() {
    ++localEdits_;
    if (documentId_) scheduler_->setRevision(documentId_, renderRevision());
    viewport()->update();
}

std::vector<PDFAnnotationPtr> ScrivolaPDFView::freeTextsIn(int page, const QRectF& rect) const {
    std::vector<PDFAnnotationPtr> found;
    if (const PDFPagePtr p = pageObject(page))
        for (const PDFAnnotationPtr& annotation : p->annotations())
            if (CoreTextFreeTextAnnotation::isFreeText(*annotation) && annotation->bounds().intersects(rect))
                found.push_back(annotation);
    return found;
}

void ScrivolaPDFView::openInlineEditor(int page, const QPointF& pagePoint, const PDFAnnotationPtr& existing) {
    showInlineEditor(pagePoint, page, existing);
    emit inlineEditBegan(page, pagePoint, existing);
}

PDFAnnotationPtr ScrivolaPDFView::freeTextAt(int page, const QPointF& pagePoint) const {
    const PDFPagePtr p = pageObject(page);
    if (!p) return nullptr;
    for (const PDFAnnotationPtr& annotation : p->annotations())
        if (CoreTextFreeTextAnnotation::isFreeText(*annotation) && annotation->bounds().contains(pagePoint)) return annotation;
    return nullptr;
}

ScrivolaPDFView::PagePoint ScrivolaPDFView::pagePointAt(const QPointF& viewPoint) const {
    PagePoint at;
    at.page = pageIndexAt(viewPoint, true);
    const PDFPagePtr page = pageObject(at.page);
    if (!page) return PagePoint{};
    at.point = convertToPage(viewPoint, at.page);
    at.onPage = page->bounds(PDFBox::cropBox).contains(at.point);
    return at;
}

void ScrivolaPDFView::updateToolCursor() {
    Qt::CursorShape shape = Qt::IBeamCursor;
    if (signatureStampMode_) shape = Qt::CrossCursor;
    else if (tools_.textAnnotationMode) shape = tools_.textSubMode == TextSubMode::add ? Qt::IBeamCursor : Qt::ArrowCursor;
    else if (tools_.whiteoutMode) shape = Qt::CrossCursor;
    else if (handMode_) shape = Qt::OpenHandCursor;
    viewport()->setCursor(shape);
}

bool ScrivolaPDFView::toolPress(QMouseEvent* event) {
    if (!tools_.textAnnotationMode && !tools_.whiteoutMode) return false;
    const PagePoint at = pagePointAt(event->position());
    if (at.page < 0) return true;
    if (tools_.whiteoutMode && !tools_.textAnnotationMode) {
        pageDrag_ = PageDrag{PageDrag::Kind::whiteout, at.page, at.point, at.point};
        return true;
    }
    // A press while a box is being edited only ends the editing.
    if (editor_) {
        commitInlineEditor();
        return true;
    }
    const PDFAnnotationPtr hit = freeTextAt(at.page, at.point);
    const bool isDoubleClick = event->type() == QEvent::MouseButtonDblClick;
    if (tools_.textSubMode == TextSubMode::add || (hit && isDoubleClick)) {
        if (!hit) {
            // Boxes go on pages only: a click beside a page adds nothing.
            if (at.onPage) openInlineEditor(at.page, at.point, nullptr);
            return true;
        }
        if (isDoubleClick) {
            openInlineEditor(at.page, at.point, hit);
            return true;
        }
        // A click opens the box on release; a drag moves it.
        boxPress_ = BoxPress{hit, at.page, at.point, false, {{hit, hit->bounds()}}};
        viewport()->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    setFocus(Qt::MouseFocusReason);
    if (!hit) {
        emit annotationSelectionCleared();
        pageDrag_ = PageDrag{PageDrag::Kind::band, at.page, at.point, at.point};
        return true;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        emit annotationToggleRequested(hit);
        return true;
    }
    // A press on a selected box keeps the selection and moves the selected boxes of its page together.
    if (!contains(tools_.selectedAnnotations, hit)) emit annotationSelectRequested(hit);
    BoxPress press{hit, at.page, at.point, false, {}};
    const PDFPagePtr page = document_->page(at.page);
    for (const PDFAnnotationPtr& annotation : tools_.selectedAnnotations)
        if (annotation != hit && annotation->page() == page && CoreTextFreeTextAnnotation::isFreeText(*annotation))
            press.startBounds.emplace_back(annotation, annotation->bounds());
    press.startBounds.emplace_back(hit, hit->bounds());
    boxPress_ = std::move(press);
    viewport()->setCursor(Qt::ClosedHandCursor);
    return true;
}

bool ScrivolaPDFView::toolMove(QMouseEvent* event) {
    if (pageDrag_) {
        pageDrag_->current = convertToPage(event->position(), pageDrag_->page);
        if (pageDrag_->kind == PageDrag::Kind::band) {
            previewAnnotations_ = freeTextsIn(pageDrag_->page, pageDrag_->rect());
        }
        viewport()->update();
        return true;
    }
    if (boxPress_) {
        BoxPress& press = *boxPress_;
        QPointF delta = convertToPage(event->position(), press.page) - press.pagePoint;
        if (!press.dragging && std::abs(delta.x()) < kDragThreshold && std::abs(delta.y()) < kDragThreshold) return true;
        press.dragging = true;
        // The boxes move together and stay on their page.
        QRectF group;
        for (const auto& [annotation, bounds] : press.startBounds) group |= bounds;
        if (const PDFPagePtr page = document_->page(press.page)) {
            const QRectF area = page->bounds(PDFBox::cropBox);
            const QRectF moved = group.translated(delta);
            if (group.width() <= area.width())
                delta.rx() += std::clamp(moved.left(), area.left(), area.right() - group.width()) - moved.left();
            if (group.height() <= area.height())
                delta.ry() += std::clamp(moved.top(), area.top(), area.bottom() - group.height()) - moved.top();
        }
        for (const auto& [annotation, bounds] : press.startBounds) annotation->setBounds(bounds.translated(delta));
        noteLocalEdit();
        return true;
    }
    return tools_.textAnnotationMode || tools_.whiteoutMode;
}

bool ScrivolaPDFView::toolRelease(QMouseEvent* event) {
    if (pageDrag_) {
        PageDrag drag = *pageDrag_;
        pageDrag_.reset();
        previewAnnotations_.clear();
        viewport()->update();
        drag.current = convertToPage(event->position(), drag.page);
        const QRectF rect = drag.rect();
        if (rect.width() <= kMinimumRect || rect.height() <= kMinimumRect) return true;
        if (drag.kind == PageDrag::Kind::whiteout) {
            emit whiteoutRequested(rect, drag.page);
            return true;
        }
        const std::vector<PDFAnnotationPtr> banded = freeTextsIn(drag.page, rect);
        if (!banded.empty()) emit annotationsBanded(banded);
        return true;
    }
    if (boxPress_) {
        const BoxPress press = std::move(*boxPress_);
        boxPress_.reset();
        updateToolCursor();
        if (!press.dragging) {
            if (tools_.textSubMode == TextSubMode::add) openInlineEditor(press.page, press.pagePoint, press.hit);
            return true;
        }
        for (const auto& [annotation, bounds] : press.startBounds)
            if (annotation->bounds() != bounds) emit annotationMoved(annotation, bounds, annotation->bounds(), press.page);
        return true;
    }
    return tools_.textAnnotationMode || tools_.whiteoutMode;
}

bool ScrivolaPDFView::cancelDrag() {
    const bool dragging = pageDrag_ || boxPress_ || panFrom_;
    pageDrag_.reset();
    previewAnnotations_.clear();
    if (boxPress_) {
        const BoxPress press = std::move(*boxPress_);
        boxPress_.reset();
        if (press.dragging) {
            for (const auto& [annotation, bounds] : press.startBounds) annotation->setBounds(bounds);
            noteLocalEdit();
        }
    }
    panFrom_.reset();
    if (dragging) {
        updateToolCursor();
        viewport()->update();
    }
    return dragging;
}

void ScrivolaPDFView::focusOutEvent(QFocusEvent* event) {
    // A popup (a context menu) keeps the gesture; anything else taking the focus ends it.
    if (event->reason() != Qt::PopupFocusReason) cancelDrag();
    QAbstractScrollArea::focusOutEvent(event);
}

void ScrivolaPDFView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && cancelDrag()) return;
    const bool deleteKey = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
    if (deleteKey && tools_.textAnnotationMode && !editor_ && !tools_.selectedAnnotations.empty()) {
        emit deleteSelectedRequested();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

// Selection borders of the page's boxes, the rubber band or whiteout rectangle on it, and the
// border of the inline editor.
void ScrivolaPDFView::paintToolOverlays(QPainter& painter, int page) const {
    const PDFPagePtr p = document_->page(page);
    if (!p) return;
    const QTransform toView = pageTransform(page);
    const QColor accent = palette().color(QPalette::Highlight);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    const auto border = [&](const std::vector<PDFAnnotationPtr>& list, double alpha) {
        painter.setPen(QPen(withAlpha(accent, alpha), 1.5));
        for (const PDFAnnotationPtr& annotation : list)
            if (annotation->page() == p) painter.drawRect(toView.mapRect(annotation->bounds().adjusted(-2, -2, 2, 2)));
    };
    border(previewAnnotations_, 0.5);
    border(tools_.selectedAnnotations, 0.8);
    if (pageDrag_ && pageDrag_->page == page) {
        const QRectF area = toView.mapRect(pageDrag_->rect());
        if (pageDrag_->kind == PageDrag::Kind::band) {
            painter.fillRect(area, withAlpha(accent, 0.15));
            painter.setPen(QPen(withAlpha(accent, 0.5), 1));
            painter.drawRect(area.adjusted(0.5, 0.5, -0.5, -0.5));
        } else {
            const QColor red = withAlpha(QColor(255, 59, 48), 0.8);
            painter.setBrush(withAlpha(Qt::white, 0.3));
            painter.setPen(QPen(red, 1.5));
            painter.drawRoundedRect(area, 2, 2);
            QPen dashed(red, 1.5, Qt::CustomDashLine);
            dashed.setDashPattern({6 / 1.5, 4 / 1.5});
            painter.setPen(dashed);
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), 2, 2);
        }
    }
    if (editor_ && editorPage_ == p) {
        QPen dashed(withAlpha(accent, 0.6), 1.5, Qt::CustomDashLine);
        dashed.setDashPattern({4 / 1.5, 3 / 1.5});
        painter.setPen(dashed);
        painter.drawRoundedRect(QRectF(editor_->geometry()).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    }
    painter.restore();
}

// --- Inline editor ---------------------------------------------------------------------------

bool ScrivolaPDFView::isInlineEditing() const { return editor_ != nullptr; }

void ScrivolaPDFView::showInlineEditor(const QPointF& pagePoint, int page, const PDFAnnotationPtr& existing) {
    endInlineEditing();
    const PDFPagePtr p = pageObject(page);
    if (!p) return;
    editorPage_ = p;
    editor_ = new InlineTextEditor(viewport());
    QFont font = tools_.font;
    QColor color = tools_.fontColor;
    Qt::Alignment alignment = tools_.alignment;
    bool underline = tools_.underline, strikethrough = tools_.strikethrough;
    if (existing) {
        // The box leaves its page while the editor shows its text.
        const CoreTextFreeTextAnnotation box(existing);
        editorPageBox_ = existing->bounds();
        font = box.font();
        color = box.fontColor();
        alignment = box.alignment();
        underline = box.isUnderline();
        strikethrough = box.isStrikethrough();
        editor_->setPlainText(existing->contents());
        hiddenAnnotation_ = existing;
        hiddenAnnotationPage_ = existing->page() ? existing->page() : p;
        hiddenAnnotationPage_->removeAnnotation(existing);
        noteLocalEdit();
    } else {
        // The click is the new box's top-left corner.
        editorPageBox_ = QRectF(pagePoint.x(), pagePoint.y() - 24, 200, 24);
    }
    editorFontPoints_ = font.pointSizeF() > 0 ? font.pointSizeF() : 12;
    editor_->setTextFormat(font, color, alignment);
    editor_->setDecorations(underline, strikethrough);
    connect(editor_, &InlineTextEditor::escapePressed, this, &ScrivolaPDFView::cancelInlineEditor);
    connect(editor_, &InlineTextEditor::settled, this, &ScrivolaPDFView::resizeInlineEditor);
    connect(editor_, &InlineTextEditor::deleteRequested, this, [this] {
        // Ctrl+Delete: a box being re-edited goes back on its page and is then removed undoably.
        const PDFAnnotationPtr box = hiddenAnnotation_;
        const PDFPagePtr page = hiddenAnnotationPage_;
        if (!box || !page) return cancelInlineEditor();
        page->addAnnotation(box);
        hiddenAnnotation_.reset();
        hiddenAnnotationPage_.reset();
        noteLocalEdit();
        dismissInlineEditor();
        emit inlineEditCancelled();
        emit annotationDeleteRequested(box, document_->index(*page));
    });
    placeInlineEditor();
    editor_->show();
    editor_->setFocus(Qt::MouseFocusReason);
    editor_->moveCursor(QTextCursor::End);
}

// The editor over its page-space box: the top-left corner at the box's, the font at its size in
// points times the zoom, and as large as the text needs (at least 200 × 24 view points).
void ScrivolaPDFView::placeInlineEditor() {
    if (!editor_) return;
    QFont font = editor_->document()->defaultFont();
    const double pointSize = editorFontPoints_ * scale_ * 72.0 / std::max(1, logicalDpiY());
    if (std::abs(font.pointSizeF() - pointSize) > 0.01) {
        font.setPointSizeF(pointSize);
        editor_->setTextFormat(font, editor_->textColor(), editor_->document()->defaultTextOption().alignment());
    }
    // The box grows to the right and downwards: its top edge (the largest y) stays put.
    const QSizeF needed = editor_->neededSize() / scale_;
    editorPageBox_ = QRectF(editorPageBox_.left(), editorPageBox_.bottom() - needed.height(), needed.width(), needed.height());
    const int page = editorPageIndex();
    if (page < 0) return;
    const QRectF box = pageTransform(page).mapRect(editorPageBox_);
    const QRect frame = QRectF(box.topLeft(), needed * scale_).toAlignedRect();
    if (frame != editor_->geometry()) {
        editor_->setGeometry(frame);
        viewport()->update();
    }
}

int ScrivolaPDFView::editorPageIndex() const {
    return editorPage_ && document_ ? document_->index(*editorPage_) : -1;
}

void ScrivolaPDFView::resizeInlineEditor() { placeInlineEditor(); }

QString ScrivolaPDFView::dismissInlineEditor() {
    if (!editor_) return {};
    const QString text = editor_->toPlainText();
    InlineTextEditor* editor = editor_;
    editor_ = nullptr;
    editorPage_.reset();
    editor->hide();
    editor->deleteLater();
    setFocus(Qt::OtherFocusReason);
    viewport()->update();
    return text;
}

void ScrivolaPDFView::commitInlineEditor() {
    if (!editor_) return;
    placeInlineEditor();
    const QRectF bounds = editorPageBox_;
    // The page where it is now: pages may have moved while the box was edited. A page that is
    // gone takes the box with it.
    const int page = editorPageIndex();
    if (page < 0) return cancelInlineEditor();
    // The context replaces the re-edited box by the new one.
    hiddenAnnotation_.reset();
    hiddenAnnotationPage_.reset();
    const QString text = dismissInlineEditor();
    emit inlineEditCommitted(text, bounds, page);
}

void ScrivolaPDFView::cancelInlineEditor() {
    if (!editor_) return;
    dismissInlineEditor();
    if (hiddenAnnotation_ && hiddenAnnotationPage_) {
        hiddenAnnotationPage_->addAnnotation(hiddenAnnotation_);
        noteLocalEdit();
    }
    hiddenAnnotation_.reset();
    hiddenAnnotationPage_.reset();
    emit inlineEditCancelled();
}

void ScrivolaPDFView::endInlineEditing() {
    if (!editor_) return;
    if (editor_->toPlainText().trimmed().isEmpty()) cancelInlineEditor();
    else commitInlineEditor();
}

void ScrivolaPDFView::toggleBulletList() {
    if (editor_) editor_->toggleBulletList();
}

// --- Dropped files ---------------------------------------------------------------------------

namespace {
QList<QUrl> fileUrls(const QMimeData* data) {
    QList<QUrl> urls;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) urls.push_back(url);
    return urls;
}
}  // namespace

void ScrivolaPDFView::dragEnterEvent(QDragEnterEvent* event) {
    if (fileUrls(event->mimeData()).isEmpty()) return QAbstractScrollArea::dragEnterEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ScrivolaPDFView::dragMoveEvent(QDragMoveEvent* event) {
    if (fileUrls(event->mimeData()).isEmpty()) return QAbstractScrollArea::dragMoveEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ScrivolaPDFView::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = fileUrls(event->mimeData());
    if (urls.isEmpty()) return QAbstractScrollArea::dropEvent(event);
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit filesDropped(urls);
}

}  // namespace scrivola
