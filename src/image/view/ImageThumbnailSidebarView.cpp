#include "image/view/ImageThumbnailSidebarView.h"

#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <set>

namespace scrivola {

namespace {

constexpr int kMarginAlong = 8;    // before the first and after the last cell
constexpr int kMarginAcross = 12;  // at the strip's sides
constexpr int kSpacing = 8;
constexpr int kPadding = 6;         // inside a cell, around its picture and name
constexpr int kImageHeight = 120;   // the tallest a thumbnail is shown
constexpr int kNameGap = 4;
constexpr int kHorizontalCellWidth = 168;
constexpr int kMinimumCellWidth = 48;
constexpr int kCheckSize = 16;
constexpr int kScrollMilliseconds = 250;

QFont nameFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(10);
    return font;
}

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(float(alpha));
    return colour;
}

// A circle in the accent colour with a white check mark ("checkmark.circle.fill").
void paintCheckmark(QPainter& painter, const QRectF& box, const QColor& accent) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(accent);
    painter.drawEllipse(box);
    QPainterPath check;
    check.moveTo(box.left() + box.width() * 0.28, box.top() + box.height() * 0.52);
    check.lineTo(box.left() + box.width() * 0.44, box.top() + box.height() * 0.68);
    check.lineTo(box.left() + box.width() * 0.73, box.top() + box.height() * 0.36);
    painter.setPen(QPen(Qt::white, box.width() * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(check);
}

// A folder outline with a plus ("plus.rectangle.on.folder").
void paintAddSymbol(QPainter& painter, const QRectF& box, const QColor& colour) {
    painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    QPainterPath folder;
    const double w = box.width(), h = box.height(), x = box.left(), y = box.top();
    folder.moveTo(x, y + h * 0.2);
    folder.lineTo(x + w * 0.38, y + h * 0.2);
    folder.lineTo(x + w * 0.48, y + h * 0.32);
    folder.lineTo(x + w, y + h * 0.32);
    folder.lineTo(x + w, y + h * 0.9);
    folder.lineTo(x, y + h * 0.9);
    folder.closeSubpath();
    painter.drawPath(folder);
    const QPointF centre(x + w * 0.5, y + h * 0.61);
    painter.drawLine(centre - QPointF(w * 0.16, 0), centre + QPointF(w * 0.16, 0));
    painter.drawLine(centre - QPointF(0, h * 0.16), centre + QPointF(0, h * 0.16));
}

QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    if (!data) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

}  // namespace

ImageThumbnailSidebarView::ImageThumbnailSidebarView(ImageDocumentContext* context, QWidget* parent,
                                                     Qt::Orientation orientation)
    : QAbstractScrollArea(parent), context_(context), model_(context ? context->model() : nullptr),
      orientation_(orientation) {
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    scrollAnimation_ = new QPropertyAnimation(this);
    scrollAnimation_->setPropertyName("value");
    scrollAnimation_->setDuration(kScrollMilliseconds);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    setOrientation(orientation);
    updateThumbnailBound();

    if (context_) {
        connect(context_, &DocumentContext::currentPageChanged, this, [this] {
            viewport()->update();
            centreCurrent(true);
        });
        connect(context_, &ImageDocumentContext::selectedImagesChanged, viewport(), qOverload<>(&QWidget::update));
    }
    if (model_) {
        connect(model_, &ImageDocumentModel::entriesChanged, this, [this] {
            setHovered(-1);
            updateScrollRange();
            viewport()->update();
        });
        connect(model_, &ImageDocumentModel::thumbnailReady, this, &ImageThumbnailSidebarView::updateCell);
        connect(model_, &ImageDocumentModel::imageChanged, this, &ImageThumbnailSidebarView::updateCell);
    }
}

ImageThumbnailSidebarView::~ImageThumbnailSidebarView() = default;

void ImageThumbnailSidebarView::setOrientation(Qt::Orientation orientation) {
    orientation_ = orientation;
    const bool vertical = orientation_ == Qt::Vertical;
    setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    (vertical ? horizontalScrollBar() : verticalScrollBar())->setValue(0);
    scrollAnimation_->stop();
    scrollAnimation_->setTargetObject(alongBar());
    setSizePolicy(vertical ? QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding)
                           : QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed));
    updateScrollRange();
    updateGeometry();
    viewport()->update();
}

int ImageThumbnailSidebarView::count() const { return model_ ? model_->count() : 0; }

QScrollBar* ImageThumbnailSidebarView::alongBar() const {
    return orientation_ == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
}

int ImageThumbnailSidebarView::scrollOffset() const { return alongBar()->value(); }

QSize ImageThumbnailSidebarView::cellSize() const {
    const int height = kPadding + kImageHeight + kNameGap + QFontMetrics(nameFont(font())).height() + kPadding;
    if (orientation_ == Qt::Horizontal) return {kHorizontalCellWidth, height};
    return {std::max(kMinimumCellWidth, viewport()->width() - 2 * kMarginAcross), height};
}

int ImageThumbnailSidebarView::cellStride() const {
    const QSize size = cellSize();
    return (orientation_ == Qt::Vertical ? size.height() : size.width()) + kSpacing;
}

QRect ImageThumbnailSidebarView::cellRect(int index) const {
    if (index < 0 || index >= count()) return {};
    const int along = kMarginAlong + index * cellStride() - scrollOffset();
    if (orientation_ == Qt::Vertical) return {QPoint(kMarginAcross, along), cellSize()};
    return {QPoint(along, kMarginAcross), cellSize()};
}

int ImageThumbnailSidebarView::indexAt(QPoint point) const {
    const int along = (orientation_ == Qt::Vertical ? point.y() : point.x()) + scrollOffset() - kMarginAlong;
    if (along < 0) return -1;
    const int index = along / cellStride();
    return cellRect(index).contains(point) ? index : -1;
}

QRect ImageThumbnailSidebarView::imageRect(int index) const {
    const QRect cell = cellRect(index);
    if (cell.isEmpty()) return {};
    const QRect area(cell.left() + kPadding, cell.top() + kPadding, cell.width() - 2 * kPadding, kImageHeight);
    QSizeF source = model_->pixelSize(index);
    if (source.isEmpty()) source = QSizeF(4, 3);
    // Fitted with its shape kept, never taller than the area; small images are not enlarged
    // beyond the area either way, so all cells look alike.
    const QSize fitted = source.scaled(QSizeF(area.size()), Qt::KeepAspectRatio).toSize().expandedTo(QSize(1, 1));
    return {QPoint(area.left() + (area.width() - fitted.width()) / 2, area.top() + (area.height() - fitted.height()) / 2),
            fitted};
}

void ImageThumbnailSidebarView::updateScrollRange() {
    const int n = count();
    const int content = n == 0 ? 0 : 2 * kMarginAlong + n * cellStride() - kSpacing;
    const int page = orientation_ == Qt::Vertical ? viewport()->height() : viewport()->width();
    QScrollBar* bar = alongBar();
    bar->setPageStep(std::max(1, page));
    bar->setSingleStep(std::max(1, cellStride() / 3));
    bar->setRange(0, std::max(0, content - page));
}

void ImageThumbnailSidebarView::updateThumbnailBound() {
    // Thumbnails are made for the tallest cell picture at the screen's pixel density; wide
    // pictures are limited by the cell's width, which the bound's width covers for any strip.
    if (!model_) return;
    const double ratio = devicePixelRatioF();
    model_->setThumbnailBound(QSize(int(std::ceil(3 * kImageHeight * ratio)), int(std::ceil(kImageHeight * ratio))));
}

void ImageThumbnailSidebarView::centreCurrent(bool animated) {
    if (!context_) return;
    const QRect cell = cellRect(context_->currentPage());
    if (cell.isEmpty()) return;
    QScrollBar* bar = alongBar();
    const int page = orientation_ == Qt::Vertical ? viewport()->height() : viewport()->width();
    const int centre = (orientation_ == Qt::Vertical ? cell.center().y() : cell.center().x()) + bar->value();
    const int target = std::clamp(centre - page / 2, bar->minimum(), bar->maximum());
    scrollAnimation_->stop();
    if (!animated || !isVisible() || target == bar->value()) {
        bar->setValue(target);
        return;
    }
    scrollAnimation_->setStartValue(bar->value());
    scrollAnimation_->setEndValue(target);
    scrollAnimation_->start();
}

QSize ImageThumbnailSidebarView::sizeHint() const {
    const QSize cell = cellSize();
    if (orientation_ == Qt::Vertical) return {200, 4 * (cell.height() + kSpacing)};
    return {4 * (kHorizontalCellWidth + kSpacing), cell.height() + 2 * kMarginAcross + horizontalScrollBar()->sizeHint().height()};
}

QSize ImageThumbnailSidebarView::minimumSizeHint() const {
    if (orientation_ == Qt::Vertical) return {kMinimumCellWidth + 2 * kMarginAcross, cellSize().height()};
    return {kHorizontalCellWidth, sizeHint().height()};
}

void ImageThumbnailSidebarView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void ImageThumbnailSidebarView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    updateThumbnailBound();  // the screen is known now
    updateScrollRange();
    centreCurrent(false);
}

void ImageThumbnailSidebarView::updateCell(int index) { viewport()->update(cellRect(index).adjusted(-2, -2, 2, 2)); }

void ImageThumbnailSidebarView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    const QRect dirty = event->rect();
    const int n = count();
    QList<int> missing;
    if (n > 0) {
        // Only the cells in the dirty area: the first from the scroll position, then until past it.
        const int along = (orientation_ == Qt::Vertical ? dirty.top() : dirty.left()) + scrollOffset() - kMarginAlong;
        for (int index = std::clamp(along / cellStride(), 0, n - 1); index < n; ++index) {
            const QRect cell = cellRect(index);
            if ((orientation_ == Qt::Vertical ? cell.top() : cell.left()) >
                (orientation_ == Qt::Vertical ? dirty.bottom() : dirty.right()))
                break;
            if (cell.intersects(dirty) && !paintCell(painter, index)) missing << index;
        }
    }
    // Painted means visible: only now are thumbnails asked for. The latest request is served
    // first, so asking from the last cell up fills the strip from the top.
    for (auto it = missing.crbegin(); it != missing.crend(); ++it) model_->requestThumbnail(*it);
    if (isDropTargeted_) paintDropOverlay(painter);
}

bool ImageThumbnailSidebarView::paintCell(QPainter& painter, int index) {
    const bool isDark = Theme::isDarkPalette(palette());
    const QColor accent = Theme::accent(palette());
    const QRect cell = cellRect(index);
    const bool isCurrent = context_ && context_->currentPage() == index;
    const bool isMarked = context_ && context_->selectedImages().contains(index);

    QColor background;
    if (isMarked) background = withAlpha(accent, 0.15);
    else if (isCurrent) background = withAlpha(accent, 0.08);
    else if (hovered_ == index) background = Theme::hover(isDark);
    if (background.isValid()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(background);
        painter.drawRoundedRect(QRectF(cell), Theme::cornerRadius, Theme::cornerRadius);
    }

    const QRect picture = imageRect(index);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(picture), Theme::smallCornerRadius + 2, Theme::smallCornerRadius + 2);
    const QImage thumbnail = model_->thumbnail(index);
    if (!thumbnail.isNull()) {
        painter.save();
        painter.setClipPath(rounded);
        painter.drawImage(QRectF(picture), thumbnail);
        painter.restore();
    } else {
        painter.fillPath(rounded, withAlpha(Theme::textSecondary(isDark), model_->hasThumbnailFailed(index) ? 0.25 : 0.12));
    }
    if (isCurrent) {
        painter.setPen(QPen(accent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(rounded);
    }
    if (isMarked) {
        const QRectF check(picture.right() - kCheckSize - 3, picture.top() + 3, kCheckSize, kCheckSize);
        paintCheckmark(painter, check, accent);
    }

    const QFont font = nameFont(this->font());
    const QFontMetrics metrics(font);
    const QRect nameRect(cell.left() + kPadding, cell.top() + kPadding + kImageHeight + kNameGap, cell.width() - 2 * kPadding,
                         metrics.height());
    const QString name = QFileInfo(model_->entries().at(index).url).fileName();
    painter.setFont(font);
    painter.setPen(isCurrent ? Theme::textPrimary(isDark) : Theme::textSecondary(isDark));
    painter.drawText(nameRect, Qt::AlignHCenter | Qt::AlignVCenter, metrics.elidedText(name, Qt::ElideMiddle, nameRect.width()));
    return !thumbnail.isNull();
}

void ImageThumbnailSidebarView::paintDropOverlay(QPainter& painter) {
    const bool isDark = Theme::isDarkPalette(palette());
    const QColor accent = Theme::accent(palette());
    const QRect area = viewport()->rect();
    painter.fillRect(area, withAlpha(Theme::background(isDark), 0.85));
    painter.setPen(QPen(accent, 2, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(area).adjusted(2, 2, -2, -2), Theme::cornerRadius, Theme::cornerRadius);
    QFont font = this->font();
    font.setPointSizeF(12);
    const int textHeight = QFontMetrics(font).height();
    const int symbol = 24;
    const int top = area.center().y() - (symbol + 6 + textHeight) / 2;
    paintAddSymbol(painter, QRectF(area.center().x() - symbol / 2.0, top, symbol, symbol), accent);
    painter.setFont(font);
    painter.setPen(Theme::textPrimary(isDark));
    painter.drawText(QRect(area.left(), top + symbol + 6, area.width(), textHeight), Qt::AlignCenter,
                     QStringLiteral("Add to Collection"));
}

void ImageThumbnailSidebarView::handleTap(int index, Qt::KeyboardModifiers modifiers) {
    if (!context_ || index < 0 || index >= count()) return;
    if (modifiers & Qt::ControlModifier) {
        context_->toggleImageSelection(index);
    } else if (modifiers & Qt::ShiftModifier) {
        context_->extendImageSelection(index);
    } else {
        context_->goToPage(index);
        context_->setSelectedImages({});
    }
}

void ImageThumbnailSidebarView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    handleTap(indexAt(event->position().toPoint()), event->modifiers());
    event->accept();
}

void ImageThumbnailSidebarView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) event->accept();
    else QAbstractScrollArea::mouseReleaseEvent(event);
}

void ImageThumbnailSidebarView::mouseMoveEvent(QMouseEvent* event) {
    setHovered(indexAt(event->position().toPoint()));
    QAbstractScrollArea::mouseMoveEvent(event);
}

bool ImageThumbnailSidebarView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave) setHovered(-1);
    if (event->type() == QEvent::ToolTip) {
        // The full file name, which the cell may show shortened.
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = indexAt(help->pos());
        if (index >= 0) QToolTip::showText(help->globalPos(), QFileInfo(model_->entries().at(index).url).fileName(), viewport());
        else QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ImageThumbnailSidebarView::scrollContentsBy(int dx, int dy) {
    QAbstractScrollArea::scrollContentsBy(dx, dy);
    // The pointer now rests over another cell.
    if (viewport()->underMouse()) setHovered(indexAt(viewport()->mapFromGlobal(QCursor::pos())));
}

void ImageThumbnailSidebarView::setHovered(int index) {
    if (hovered_ == index) return;
    updateCell(hovered_);
    hovered_ = index;
    updateCell(hovered_);
}

std::unique_ptr<QMenu> ImageThumbnailSidebarView::contextMenuFor(int index) {
    if (!context_ || index < 0 || index >= count()) return nullptr;
    const QSet<int> selection = context_->selectedImages();
    const QSet<int> targets = selection.contains(index) ? selection : QSet<int>{index};
    const qsizetype n = targets.size();
    auto menu = std::make_unique<QMenu>(this);
    QPointer<ImageDocumentContext> context = context_;
    const QString exportText = n == 1 ? QStringLiteral("Export Image...") : QStringLiteral("Export %1 Images...").arg(n);
    menu->addAction(exportText, this, [context, targets] {
        if (context) context->exportImages(std::set<int>(targets.begin(), targets.end()));
    });
    menu->addSeparator();
    const QString deleteText = n == 1 ? QStringLiteral("Delete Image") : QStringLiteral("Delete %1 Images").arg(n);
    QAction* remove = menu->addAction(deleteText, this, [context, targets] {
        if (context) context->deleteImages(targets);
    });
    remove->setEnabled(n < count());
    return menu;
}

void ImageThumbnailSidebarView::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu = contextMenuFor(indexAt(event->pos()));
    if (!menu) return;
    menu->exec(event->globalPos());
    event->accept();
}

void ImageThumbnailSidebarView::keyPressEvent(QKeyEvent* event) {
    if (!context_) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const bool vertical = orientation_ == Qt::Vertical;
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace: {
        const QSet<int> selection = context_->selectedImages();
        if (selection.isEmpty() || selection.size() >= count()) {
            event->ignore();  // passed on
            return;
        }
        context_->deleteImages(selection);
        event->accept();
        return;
    }
    case Qt::Key_Up:
    case Qt::Key_Left:
        if ((event->key() == Qt::Key_Up) != vertical) break;
        context_->goToPreviousPage();
        event->accept();
        return;
    case Qt::Key_Down:
    case Qt::Key_Right:
        if ((event->key() == Qt::Key_Down) != vertical) break;
        context_->goToNextPage();
        event->accept();
        return;
    case Qt::Key_Home:
        context_->goToPage(0);
        event->accept();
        return;
    case Qt::Key_End:
        context_->goToPage(count() - 1);
        event->accept();
        return;
    default: break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ImageThumbnailSidebarView::setDropTargeted(bool targeted) {
    if (isDropTargeted_ == targeted) return;
    isDropTargeted_ = targeted;
    viewport()->update();
}

void ImageThumbnailSidebarView::dragEnterEvent(QDragEnterEvent* event) {
    if (localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setDropTargeted(true);
}

void ImageThumbnailSidebarView::dragMoveEvent(QDragMoveEvent* event) {
    if (isDropTargeted_) event->acceptProposedAction();
    else event->ignore();
}

void ImageThumbnailSidebarView::dragLeaveEvent(QDragLeaveEvent* event) {
    // A drag that leaves or is cancelled leaves nothing behind.
    setDropTargeted(false);
    event->accept();
}

void ImageThumbnailSidebarView::dropEvent(QDropEvent* event) {
    setDropTargeted(false);
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    // Taken whatever it held: files that are no images are simply not added.
    event->acceptProposedAction();
    if (context_) context_->addDroppedFiles(paths);
}

}  // namespace scrivola
