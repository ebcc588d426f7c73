#include "ui/KeyboardMonitor.h"

#include "ui/PaneView.h"
#include "image/ImageDocumentContext.h"
#include "pdf/PDFDocumentContext.h"
#include "workspace/AppViewModel.h"
#include "workspace/TabItem.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>

namespace scrivola {

namespace {

bool isArrow(int key) { return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down; }

// Typing in text is never taken.
bool isTextInput(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget);
}

}  // namespace

KeyboardMonitor::KeyboardMonitor(QWidget* window, AppViewModel* model, std::function<QAbstractScrollArea*()> scrollView)
    : QObject(window), window_(window), model_(model), scrollView_(std::move(scrollView)) {
    qApp->installEventFilter(this);
}

KeyboardMonitor::~KeyboardMonitor() { qApp->removeEventFilter(this); }

bool KeyboardMonitor::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride && type != QEvent::MouseButtonPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !window_ || widget->window() != window_ || !model_) return false;
    if (type == QEvent::MouseButtonPress) {
        // Never swallowed: the click goes on to the widget under it.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) updatePaneFocusFromClick(*widget, *mouse);
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const std::function<void()> action = actionFor(*key);
    if (!action) return false;
    // Claiming the shortcut keeps menu items with the same keys from acting too; the action
    // runs on the key press that follows.
    key->accept();
    if (type == QEvent::KeyPress) action();
    return true;
}

// Lists and grids beside the viewer (page thumbnails, the image strip, the annotations) move
// their own selection with the arrows.
bool KeyboardMonitor::isBesideTheViewer(const QWidget* focus) const {
    const QAbstractScrollArea* viewer = scrollView_();
    for (const QWidget* w = focus; w && w != window_; w = w->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(w)) return w != viewer;
    return false;
}

std::function<void()> KeyboardMonitor::actionFor(const QKeyEvent& event) const {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    if (!(modifiers & Qt::ControlModifier)) {
        if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return {};
        const QWidget* focus = QApplication::focusWidget();
        if (isTextInput(focus) || !isArrow(key) || isBesideTheViewer(focus)) return {};
        return [this, key] { handleArrowKey(key); };
    }
    if (modifiers != Qt::ControlModifier) return {};
    TabItem* tab = model_->activeTab();
    DocumentContext* context = tab ? tab->context() : nullptr;
    ZoomCapable* zoom = context;
    auto* pdf = qobject_cast<PDFDocumentContext*>(context);
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: return [zoom] { if (zoom) zoom->zoomIn(); };
    case Qt::Key_Minus: return [zoom] { if (zoom) zoom->zoomOut(); };
    case Qt::Key_1: return [zoom] { if (zoom) zoom->zoomToFit(); };
    case Qt::Key_0: return [zoom] { if (zoom) zoom->zoomToActualSize(); };
    case Qt::Key_H: return [pdf] { if (pdf) pdf->toggleHighlightMode(); };
    case Qt::Key_T: return [pdf] { if (pdf) pdf->textTool()->toggleTextAnnotationMode(); };
    default: return {};
    }
}

void KeyboardMonitor::handleArrowKey(int key) const {
    TabItem* tab = model_ ? model_->activeTab() : nullptr;
    DocumentContext* context = tab ? tab->context() : nullptr;
    const bool forward = key == Qt::Key_Right || key == Qt::Key_Down;
    if (auto* pdf = qobject_cast<PDFDocumentContext*>(context)) {
        if (pdf->autoFitMode() == AutoFitMode::manual) {
            if (QAbstractScrollArea* view = scrollView_ ? scrollView_() : nullptr) scrollContent(*view, key, pdf->zoomLevel());
        } else if (forward) {
            pdf->goToNextPage();
        } else {
            pdf->goToPreviousPage();
        }
    } else if (auto* image = qobject_cast<ImageDocumentContext*>(context)) {
        if (image->imageFitMode() == ImageFitMode::manual) {
            if (QAbstractScrollArea* view = scrollView_ ? scrollView_() : nullptr) scrollContent(*view, key, image->zoomLevel());
        } else if (forward) {
            image->goToNextPage();
        } else if (image->currentPage() > 0) {
            image->goToPage(image->currentPage() - 1);
        }
    }
}

// One step is 40 points of the document, fewer when zoomed in: 40 ÷ max(1, zoom) points,
// which the scroll bars count in pixels at the zoom.
void KeyboardMonitor::scrollContent(QAbstractScrollArea& view, int key, double magnification) const {
    const double zoom = std::max(magnification, 1e-6);
    const int pixels = int(std::lround(kArrowScrollAmount / std::max(1.0, zoom) * zoom));
    QScrollBar* bar = key == Qt::Key_Left || key == Qt::Key_Right ? view.horizontalScrollBar() : view.verticalScrollBar();
    const int sign = key == Qt::Key_Left || key == Qt::Key_Up ? -1 : 1;
    bar->setValue(bar->value() + sign * pixels);  // the scroll bar keeps it in range
}

// The clicked pane: the pane view holding the clicked widget (it names its index in a property).
// Without pane views, in a split window, beyond the divider's fraction of the width (side by
// side) or of the height (one above the other) is the second pane.
void KeyboardMonitor::updatePaneFocusFromClick(const QWidget& clicked, const QMouseEvent& event) const {
    for (const QWidget* w = &clicked; w && w != window_; w = w->parentWidget()) {
        const QVariant index = w->property(PaneView::kPaneIndexProperty);
        if (!index.isValid()) continue;
        if (index.toInt() >= 0) model_->setFocusedPaneIndex(index.toInt());
        return;
    }
    if (!model_->isSplitView() || !window_) return;
    const QPointF point = window_->mapFromGlobal(event.globalPosition());
    const double fraction = model_->splitDirection() == SplitDirection::horizontal
                                ? point.x() / std::max(1, window_->width())
                                : point.y() / std::max(1, window_->height());
    const int pane = fraction > model_->splitRatio() ? 1 : 0;
    if (pane != model_->focusedPaneIndex() && pane < model_->paneCount()) model_->setFocusedPaneIndex(pane);
}

}  // namespace scrivola
