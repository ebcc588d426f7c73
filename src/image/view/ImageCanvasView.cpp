#include "image/view/ImageCanvasView.h"

#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"
#include "image/ImageDocumentModel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {
QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}
}  // namespace

// The pixel size of the shown image, over the canvas's bottom-right corner.
class ImageCanvasView::SizeBadge : public QWidget {
public:
    static constexpr int kInset = 12;

    explicit SizeBadge(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont small = font();
        small.setPointSizeF(11);
        setFont(small);
    }
    void setText(const QString& text) {
        if (text == text_) return;
        text_ = text;
        setVisible(!text.isEmpty());
        place();
        update();
    }
    // Bottom-right of the viewport, inset.
    void place() {
        auto* canvas = static_cast<ImageCanvasView*>(parentWidget());
        const QSize size = fontMetrics().size(Qt::TextSingleLine, text_) + QSize(20, 10);
        const QRect area = canvas->viewport()->geometry();
        setGeometry(QRect(area.bottomRight() - QPoint(kInset + size.width() - 1, kInset + size.height() - 1), size));
        raise();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool dark = Theme::isDarkPalette(palette());
        QColor fill = Theme::surface(dark);
        fill.setAlphaF(0.9f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()), Theme::smallCornerRadius, Theme::smallCornerRadius);
        painter.setPen(Theme::textPrimary(dark));
        painter.drawText(rect(), Qt::AlignCenter, text_);
    }

private:
    QString text_;
};

ImageCanvasView::ImageCanvasView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    badge_ = new SizeBadge(this);
    badge_->hide();
    fullDecodeDelay_.setSingleShot(true);
    fullDecodeDelay_.setInterval(150);
    connect(&fullDecodeDelay_, &QTimer::timeout, this, &ImageCanvasView::requestFullDecode);
    reduceDelay_.setSingleShot(true);
    reduceDelay_.setInterval(60);
    connect(&reduceDelay_, &QTimer::timeout, this, &ImageCanvasView::prepareReducedCopy);
}

ImageCanvasView::~ImageCanvasView() = default;

void ImageCanvasView::setContext(ImageDocumentContext* context) {
    if (context == context_ && context) return;
    for (const auto& c : connections_) disconnect(c);
    connections_.clear();
    context_ = context;
    model_ = context ? context->model() : nullptr;
    index_ = -1;
    entryId_ = 0;
    paintedSinceContext_ = false;
    lastChange_.invalidate();
    ImageDocumentModel* model = model_.data();
    if (context && model) {
        connections_ << connect(context, &DocumentContext::currentPageChanged, this, [this] { showCurrent(false); });
        connections_ << connect(context, &DocumentContext::zoomLevelChanged, this, &ImageCanvasView::followContextZoom);
        connections_ << connect(context, &ImageDocumentContext::needsAutoFitChanged, this, [this](bool needed) {
            if (needed) scheduleAutoFit();
        });
        connections_ << connect(model, &ImageDocumentModel::imageReady, this, &ImageCanvasView::imageReady);
        connections_ << connect(model, &ImageDocumentModel::previewReady, this, &ImageCanvasView::previewReady);
        connections_ << connect(model, &ImageDocumentModel::imageChanged, this, [this](int index) {
            if (index == index_) showCurrent(true);
        });
        connections_ << connect(model, &ImageDocumentModel::entriesChanged, this, [this] { showCurrent(false); });
        magnification_ = std::clamp(context_->zoomLevel(), kMinimumMagnification, kMaximumMagnification);
    }
    showCurrent(true);
    updateScrollBars();  // the magnification is the new context's, the image size may be the same
    if (context_ && context_->needsAutoFit()) scheduleAutoFit();
}

// --- Geometry ----------------------------------------------------------------------------------

QPointF ImageCanvasView::imageOrigin() const {
    const QSizeF content = imageSize_ * magnification_;
    const QSize view = viewport()->size();
    const double x = content.width() <= view.width() ? (view.width() - content.width()) / 2 : -horizontalScrollBar()->value();
    const double y = content.height() <= view.height() ? (view.height() - content.height()) / 2 : -verticalScrollBar()->value();
    return {x, y};
}

bool ImageCanvasView::isLargerThanView() const {
    const QSizeF content = imageSize_ * magnification_;
    const QSize view = viewport()->size();
    return content.width() > view.width() + 0.5 || content.height() > view.height() + 0.5;
}

QRectF ImageCanvasView::visibleRect() const {
    return QRectF(-imageOrigin() / magnification_, QSizeF(viewport()->size()) / magnification_);
}

void ImageCanvasView::updateScrollBars() {
    const QSizeF content = imageSize_ * magnification_;
    const QSize view = viewport()->size();
    const auto setRange = [](QScrollBar* bar, double content, int view) {
        bar->setRange(0, std::max(0, int(std::ceil(content - 0.5)) - view));
        bar->setPageStep(view);
    };
    setRange(horizontalScrollBar(), content.width(), view.width());
    setRange(verticalScrollBar(), content.height(), view.height());
    updateCursor();
}

void ImageCanvasView::updateCursor() {
    if (isPanning_) return viewport()->setCursor(Qt::ClosedHandCursor);
    if (isLargerThanView())
        viewport()->setCursor(Qt::OpenHandCursor);
    else
        viewport()->unsetCursor();
}

void ImageCanvasView::updateBadge() { badge_->setText(sizeBadgeText()); }

void ImageCanvasView::setMagnification(double magnification, std::optional<QPointF> anchor) {
    magnification = std::clamp(magnification, kMinimumMagnification, kMaximumMagnification);
    if (magnification == magnification_) return;
    const QPointF at = anchor.value_or(QRectF(viewport()->rect()).center());
    const QPointF imagePoint = (at - imageOrigin()) / magnification_;
    magnification_ = magnification;
    updateScrollBars();
    // The anchored image point stays under the anchor, as far as the scroll range allows.
    horizontalScrollBar()->setValue(int(std::lround(imagePoint.x() * magnification_ - at.x())));
    verticalScrollBar()->setValue(int(std::lround(imagePoint.y() * magnification_ - at.y())));
    updateCursor();
    if (!reduced_.isNull() || deviceScale() <= 0.5) reduceDelay_.start();
    viewport()->update();
}

// Room for a fit: the whole area, scroll bars or not (a fitted page needs none). A width fit of
// a tall image leaves room for the vertical scroll bar it will need.
QSizeF ImageCanvasView::fitArea() const {
    QSizeF area = contentsRect().size();
    if (context_ && context_->imageFitMode() == ImageFitMode::fitWidth && imageSize_.width() > 0) {
        const double scale = std::min(1.0, area.width() / imageSize_.width());
        if (imageSize_.height() * scale > area.height())
            area.rwidth() -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    }
    return area;
}

// --- Zoom in step with the context ------------------------------------------------------------

// At once when the canvas is on screen (so that an image is never painted before its fit);
// otherwise on the next turn of the event loop, when the widget has its final size.
void ImageCanvasView::scheduleAutoFit() {
    if (isVisible()) return applyAutoFit();
    if (fitScheduled_) return;
    fitScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        fitScheduled_ = false;
        applyAutoFit();
    });
}

void ImageCanvasView::applyAutoFit() {
    if (!context_ || !context_->needsAutoFit() || imageSize_.isEmpty()) return;
    // The context stores the fitted scale; zoomLevelChanged brings it here.
    context_->performAutoFit(imageSize_, fitArea());
    followContextZoom();
}

void ImageCanvasView::followContextZoom() {
    if (!context_ || isUpdatingContext_) return;
    if (std::abs(context_->zoomLevel() - magnification_) > 0.001) setMagnification(context_->zoomLevel());
}

void ImageCanvasView::zoomFromView(double magnification, QPointF anchor) {
    setMagnification(magnification, anchor);
    if (!context_) return;
    isUpdatingContext_ = true;
    context_->setImageFitMode(ImageFitMode::manual);
    context_->setZoomLevel(magnification_);
    isUpdatingContext_ = false;
}

// --- Events ------------------------------------------------------------------------------------

void ImageCanvasView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    badge_->place();
    // A fitted image stays fitted as the view changes size.
    if (context_ && context_->imageFitMode() != ImageFitMode::manual) {
        context_->setNeedsAutoFit(true);
        scheduleAutoFit();
    }
}

void ImageCanvasView::scrollContentsBy(int, int) { viewport()->update(); }

bool ImageCanvasView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::NativeGesture) {
        const auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoomFromView(magnification_ * (1 + gesture->value()), gesture->position());
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ImageCanvasView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) return QAbstractScrollArea::wheelEvent(event);
    event->accept();
    // Pixel deltas come from touchpads (fine steps); a wheel notch counts as one line.
    const bool precise = !event->pixelDelta().isNull();
    const double dy = precise ? event->pixelDelta().y() : event->angleDelta().y() / 120.0;
    if (dy == 0) return;
    const double factor = precise ? 0.01 : 0.05;
    zoomFromView((1 + dy * factor) * magnification_, event->position());
}

void ImageCanvasView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::KeyboardModifiers();
    if (!arrow || !plain || !isLargerThanView()) return event->ignore();
    // 40 screen points: 40 ÷ magnification image points. The scroll bars keep it in range.
    const int step = int(kArrowScrollAmount);
    QScrollBar* bar = key == Qt::Key_Left || key == Qt::Key_Right ? horizontalScrollBar() : verticalScrollBar();
    bar->setValue(bar->value() + (key == Qt::Key_Left || key == Qt::Key_Up ? -step : step));
    event->accept();
}

void ImageCanvasView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton || !isLargerThanView()) return QAbstractScrollArea::mousePressEvent(event);
    isPanning_ = true;
    panOrigin_ = event->position().toPoint();
    scrollOrigin_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    updateCursor();
    event->accept();
}

void ImageCanvasView::mouseMoveEvent(QMouseEvent* event) {
    if (!isPanning_) return QAbstractScrollArea::mouseMoveEvent(event);
    // The image follows the mouse; the scroll bars keep it in range.
    const QPoint moved = panOrigin_ - event->position().toPoint();
    horizontalScrollBar()->setValue(scrollOrigin_.x() + moved.x());
    verticalScrollBar()->setValue(scrollOrigin_.y() + moved.y());
    event->accept();
}

void ImageCanvasView::mouseReleaseEvent(QMouseEvent* event) {
    if (!isPanning_) return QAbstractScrollArea::mouseReleaseEvent(event);
    isPanning_ = false;
    updateCursor();
    event->accept();
}

void ImageCanvasView::dragEnterEvent(QDragEnterEvent* event) {
    if (localFiles(event->mimeData()).isEmpty()) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ImageCanvasView::dragMoveEvent(QDragMoveEvent* event) {
    if (localFiles(event->mimeData()).isEmpty()) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ImageCanvasView::dropEvent(QDropEvent* event) {
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit filesDropped(paths);
}

}  // namespace scrivola
