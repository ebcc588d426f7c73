#include "thumbnails/view/ThumbnailGridView.h"

#include "pdf/PDFDocumentContext.h"
#include "thumbnails/view/ThumbnailPageCell.h"
#include "thumbnails/view/ThumbnailRenderer.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QElapsedTimer>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace scrivola {

ThumbnailGridView::ThumbnailGridView(PDFDocumentContext* context, QWidget* parent)
    : QAbstractScrollArea(parent),
      context_(context),
      renderer_(new ThumbnailRenderer(context, this)),
      scrollAnimation_(new QVariantAnimation(this)),
      barAnimation_(new QVariantAnimation(this)) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Window);

    scrollAnimation_->setDuration(200);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    connect(scrollAnimation_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { verticalScrollBar()->setValue(value.toInt()); });
    barAnimation_->setDuration(150);
    barAnimation_->setEasingCurve(QEasingCurve::InOutQuad);
    barAnimation_->setStartValue(0.0);
    barAnimation_->setEndValue(1.0);
    connect(barAnimation_, &QVariantAnimation::valueChanged, viewport(), [this] { viewport()->update(); });

    connect(renderer_, &ThumbnailRenderer::rendered, this, [this](int page) {
        if (cellRect(page).intersects(QRectF(viewport()->rect()))) viewport()->update();
    });
    // Pages may have come or gone.
    connect(renderer_, &ThumbnailRenderer::revisionChanged, this, &ThumbnailGridView::relayout);
    const auto repaint = [this] { viewport()->update(); };
    connect(context, &PDFDocumentContext::selectedPagesChanged, this, repaint);
    connect(context, &PDFDocumentContext::viewChanged, this, repaint);
    connect(context, &PDFDocumentContext::panelsChanged, this, [this] {
        // The thumbnail scale may have changed: keep the current page in view.
        const double before = verticalScrollBar()->maximum();
        relayout();
        if (before != verticalScrollBar()->maximum() && context_) scrollToPage(context_->currentPage(), false);
    });
    connect(context, &DocumentContext::currentPageChanged, this, [this] {
        viewport()->update();
        if (context_) scrollToPage(context_->currentPage(), true);
    });
    relayout();
}

ThumbnailGridView::~ThumbnailGridView() = default;

// --- Layout ------------------------------------------------------------------------------------

double ThumbnailGridView::thumbnailWidth() const { return kBaseWidth * (context_ ? context_->thumbnailScale() : 1.0); }
double ThumbnailGridView::thumbnailHeight() const { return kBaseHeight * (context_ ? context_->thumbnailScale() : 1.0); }

int ThumbnailGridView::columnCount() const {
    const double available = viewport()->width() - 2 * kMargin + kColumnSpacing;
    return std::max(1, int(std::floor(available / (minimumColumnWidth() + kColumnSpacing))));
}

double ThumbnailGridView::columnWidth() const {
    const int columns = columnCount();
    const double available = viewport()->width() - 2 * kMargin - (columns - 1) * kColumnSpacing;
    return std::max(minimumColumnWidth(), available / columns);
}

double ThumbnailGridView::rowPitch() const { return ThumbnailPageCell::height(thumbnailHeight()) + kRowSpacing; }

QRectF ThumbnailGridView::cellRect(int page) const {
    const int columns = columnCount();
    const double x = kMargin + (page % columns) * (columnWidth() + kColumnSpacing);
    const double y = kMargin + (page / columns) * rowPitch() - verticalScrollBar()->value();
    return {x, y, columnWidth(), ThumbnailPageCell::height(thumbnailHeight())};
}

int ThumbnailGridView::pageAt(const QPoint& point) const {
    const int count = renderer_->pageCount();
    const int columns = columnCount();
    const double y = point.y() + verticalScrollBar()->value() - kMargin;
    const double x = point.x() - kMargin;
    if (x < 0 || y < 0) return -1;
    const int row = int(y / rowPitch());
    const int column = int(x / (columnWidth() + kColumnSpacing));
    if (column >= columns) return -1;
    const int page = row * columns + column;
    if (page >= count || !cellRect(page).contains(point)) return -1;
    return page;
}

int ThumbnailGridView::dropIndexAt(const QPoint& point) const {
    const int count = renderer_->pageCount();
    const int columns = columnCount();
    const double y = point.y() + verticalScrollBar()->value() - kMargin;
    const double x = point.x() - kMargin;
    const int row = std::max(0, int(std::floor(y / rowPitch())));
    const int column = std::clamp(int(std::floor(x / (columnWidth() + kColumnSpacing))), 0, columns - 1);
    return std::min(row * columns + column, count);
}

void ThumbnailGridView::relayout() {
    // At least one column of the current thumbnail size, beside the scroll bar.
    setMinimumWidth(int(std::ceil(minimumColumnWidth())) + 2 * kMargin + verticalScrollBar()->sizeHint().width());
    const int count = renderer_->pageCount();
    const int rows = (count + columnCount() - 1) / columnCount();
    const double content = rows > 0 ? 2 * kMargin + rows * rowPitch() - kRowSpacing : 0;
    const int page = viewport()->height();
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(int(rowPitch() / 3));
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(content)) - page));
    viewport()->update();
}

void ThumbnailGridView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void ThumbnailGridView::scrollToPage(int page, bool animated) {
    if (page < 0 || page >= renderer_->pageCount()) return;
    const QRectF cell = cellRect(page);
    const int target = std::clamp(int(std::lround(verticalScrollBar()->value() + cell.center().y() - viewport()->height() / 2.0)),
                                  verticalScrollBar()->minimum(), verticalScrollBar()->maximum());
    scrollAnimation_->stop();
    if (!animated || !isVisible() || target == verticalScrollBar()->value()) {
        verticalScrollBar()->setValue(target);
        return;
    }
    scrollAnimation_->setStartValue(verticalScrollBar()->value());
    scrollAnimation_->setEndValue(target);
    scrollAnimation_->start();
}

std::set<int> ThumbnailGridView::visiblePages() const {
    if (!context_) return {};
    std::set<int> pages{context_->currentPage()};
    if (context_->viewMode() == ViewMode::twoPages && context_->currentPage() + 1 < context_->totalPages())
        pages.insert(context_->currentPage() + 1);
    return pages;
}

// --- Painting ----------------------------------------------------------------------------------

int ThumbnailGridView::paintedRevision(int page) const {
    const auto found = painted_.find(page);
    return found == painted_.end() ? -1 : found->second;
}

QImage ThumbnailGridView::standIn(int page, const QSizeF& pageSize) const {
    const auto found = shown_.find(page);
    if (found == shown_.end() || pageSize.isEmpty()) return {};
    // Only a picture of the same shape: a turned page waits for its own.
    const double shape = pageSize.width() / pageSize.height();
    const double shownShape = double(found->second.width()) / found->second.height();
    return std::abs(shape / shownShape - 1) < 0.03 ? found->second : QImage();
}

void ThumbnailGridView::scheduleRepaint() {
    if (repaintQueued_) return;
    repaintQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        repaintQueued_ = false;
        viewport()->update();
    });
}

void ThumbnailGridView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette palette = this->palette();
    painter.fillRect(viewport()->rect(), palette.color(QPalette::Window));
    painted_.clear();
    if (!context_) return;
    const int count = renderer_->pageCount();
    const int columns = columnCount();
    const double pitch = rowPitch();
    const double top = verticalScrollBar()->value() - kMargin;
    const int firstRow = std::max(0, int(std::floor(top / pitch)));
    const int lastRow = int(std::floor((top + viewport()->height()) / pitch));
    const std::set<int> shown = visiblePages();
    const std::set<int>& marked = context_->selectedPages();
    const double dpr = devicePixelRatioF();
    const QSizeF frame(thumbnailWidth(), thumbnailHeight());
    const int revision = renderer_->revision();

    // Measuring pages and making display lists happen here, on the main thread: past the budget
    // they wait for the next paint, so scrolling through a long document never stalls.
    QElapsedTimer clock;
    clock.start();
    bool deferred = false;
    bool complete = true;
    std::vector<RenderRequest> wanted;
    std::map<int, QImage> drawn;
    for (int page = firstRow * columns; page < std::min(count, (lastRow + 1) * columns); ++page) {
        const QRectF rect = cellRect(page);
        ThumbnailPageCell cell;
        cell.pageIndex = page;
        cell.isSelected = shown.count(page) > 0;
        cell.isMarked = marked.count(page) > 0;
        cell.isDropTarget = dropTarget_ == page && dragSource_ != page;
        cell.dropBarOpacity = barAnimation_->currentValue().toDouble();
        cell.isHovered = hoverPage_ == page && !dragSource_;
        cell.thumbnailWidth = frame.width();
        cell.thumbnailHeight = frame.height();
        const bool affordable = clock.elapsed() < kPaintBudgetMs;
        if (renderer_->isMeasured(page) || affordable) {
            cell.pageSize = renderer_->pageSize(page);
            const RenderRequest request = renderer_->requestFor(page, frame, dpr);
            if (request.document != 0) {
                wanted.push_back(request);
                QImage picture = renderer_->cached(request);
                if (!picture.isNull() || clock.elapsed() < kPaintBudgetMs)
                    picture = renderer_->request(request);
                else
                    deferred = true;
                if (!picture.isNull()) {
                    painted_[page] = revision;
                } else {
                    picture = renderer_->placeholder(request);
                    complete = false;
                }
                if (picture.isNull()) picture = standIn(page, cell.pageSize);
                cell.thumbnail = picture;
                if (!picture.isNull()) drawn[page] = picture;
            }
        } else {
            deferred = true;
        }
        if (!painted_.count(page)) complete = false;
        cell.paint(painter, rect, palette);
    }
    if (dropTarget_ == count && count > 0) {
        painter.setOpacity(barAnimation_->currentValue().toDouble());
        ThumbnailPageCell::paintEndBar(painter, cellRect(count - 1), frame.width(), palette);
    }
    shown_ = std::move(drawn);
    // Pages scrolled away are not drawn any more.
    renderer_->cancelExcept(wanted);
    if (deferred) scheduleRepaint();
    if (complete && count > 0 && !firstScreenDone_) {
        firstScreenDone_ = true;
        QMetaObject::invokeMethod(this, &ThumbnailGridView::firstScreenPainted, Qt::QueuedConnection);
    }
}

// --- Clicks, menu and keys ---------------------------------------------------------------------

void ThumbnailGridView::clickPage(int page, Qt::KeyboardModifiers modifiers) {
    if (!context_ || page < 0 || page >= context_->totalPages()) return;
    if (modifiers & (Qt::ControlModifier | Qt::MetaModifier)) {
        context_->togglePageSelection(page);
    } else if (modifiers & Qt::ShiftModifier) {
        context_->extendSelection(page);
    } else {
        context_->setCurrentPage(page);
        context_->setSelectedPages({});
    }
}

std::set<int> ThumbnailGridView::targetsFor(int page) const {
    if (!context_) return {};
    const std::set<int>& selection = context_->selectedPages();
    return selection.count(page) ? selection : std::set<int>{page};
}

QMenu* ThumbnailGridView::contextMenuFor(int page) {
    auto* menu = new QMenu(this);
    const std::set<int> targets = targetsFor(page);
    const int n = int(targets.size());
    const QString pages = n == 1 ? QStringLiteral("Page") : QStringLiteral("%1 Pages").arg(n);
    QPointer<PDFDocumentContext> context = context_;
    menu->addAction(QStringLiteral("Export ") + pages, this, [context, targets] {
        if (context) context->exportPages(targets);
    });
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Delete ") + pages, this, [context, targets] {
        if (context) context->deletePages(targets);
    });
    remove->setEnabled(context_ && n < context_->totalPages());
    menu->addSeparator();
    menu->addAction(QStringLiteral("Rotate Left"), this, [context, targets] {
        if (context) context->rotatePages(targets, -90);
    });
    menu->addAction(QStringLiteral("Rotate Right"), this, [context, targets] {
        if (context) context->rotatePages(targets, 90);
    });
    return menu;
}

void ThumbnailGridView::contextMenuEvent(QContextMenuEvent* event) {
    const int page = pageAt(viewport()->mapFrom(this, event->pos()));
    if (page < 0) return;
    QMenu* menu = contextMenuFor(page);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void ThumbnailGridView::keyPressEvent(QKeyEvent* event) {
    if (!context_) return QAbstractScrollArea::keyPressEvent(event);
    const int count = context_->totalPages();
    if (event->key() == Qt::Key_Delete) {
        const std::set<int>& selection = context_->selectedPages();
        if (selection.empty() || int(selection.size()) >= count) return event->ignore();
        context_->deleteSelectedPages();
        return event->accept();
    }
    // Arrows move the current page through the grid.
    int step = 0;
    switch (event->key()) {
        case Qt::Key_Left: step = -1; break;
        case Qt::Key_Right: step = 1; break;
        case Qt::Key_Up: step = -columnCount(); break;
        case Qt::Key_Down: step = columnCount(); break;
        default: return QAbstractScrollArea::keyPressEvent(event);
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        context_->extendSelection(std::clamp(context_->currentPage() + step, 0, count - 1));
    }
    context_->setCurrentPage(std::clamp(context_->currentPage() + step, 0, count - 1));
    event->accept();
}

void ThumbnailGridView::mousePressEvent(QMouseEvent* event) {
    pressPage_ = event->button() == Qt::LeftButton ? pageAt(event->position().toPoint()) : -1;
    pressPoint_ = event->position().toPoint();
    setFocus(Qt::MouseFocusReason);
    event->accept();
}

void ThumbnailGridView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    if (const int hover = pageAt(point); hover != hoverPage_) {
        hoverPage_ = hover;
        viewport()->update();
    }
    if (pressPage_ < 0 || !(event->buttons() & Qt::LeftButton) || !context_ ||
        context_->sidebarMode() != SidebarMode::sort)
        return;
    if ((point - pressPoint_).manhattanLength() < QApplication::startDragDistance()) return;
    const int page = pressPage_;
    pressPage_ = -1;
    startPageDrag(page);
}

void ThumbnailGridView::mouseReleaseEvent(QMouseEvent* event) {
    // A click acts on release, so that pressing a marked page can start a drag of the block.
    if (event->button() == Qt::LeftButton && pressPage_ >= 0 && pageAt(event->position().toPoint()) == pressPage_)
        clickPage(pressPage_, event->modifiers());
    pressPage_ = -1;
}

void ThumbnailGridView::leaveEvent(QEvent* event) {
    hoverPage_ = -1;
    viewport()->update();
    QAbstractScrollArea::leaveEvent(event);
}

// --- Reordering --------------------------------------------------------------------------------

void ThumbnailGridView::startPageDrag(int page) {
    if (!context_ || page < 0 || page >= context_->totalPages()) return;
    dragSource_ = page;
    setDropTarget(std::nullopt);
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setText(QString::number(page));
    drag->setMimeData(mime);
    const RenderRequest request = renderer_->requestFor(page, QSizeF(thumbnailWidth(), thumbnailHeight()), devicePixelRatioF());
    if (const QImage picture = renderer_->cached(request); !picture.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(picture.scaled(picture.size() / 4, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        drag->setPixmap(pixmap);
        drag->setHotSpot(QPoint(pixmap.width() / 2, pixmap.height() / 2));
    }
    const QPointer<ThumbnailGridView> self(this);
    if (dragRunner_) {
        dragRunner_(drag);
        drag->deleteLater();
    } else {
        drag->exec(Qt::MoveAction);
    }
    if (!self) return;
    // However the drag ended (dropped, refused, cancelled), none of it stays behind.
    dragSource_.reset();
    setDropTarget(std::nullopt);
}

bool ThumbnailGridView::acceptsDrag(const QMimeData* mime) const {
    // Only a drag of a page started in this grid, carrying that page's number.
    if (!dragSource_ || !mime || !mime->hasText()) return false;
    bool ok = false;
    const int page = mime->text().toInt(&ok);
    return ok && page == *dragSource_ && context_ && context_->sidebarMode() == SidebarMode::sort;
}

void ThumbnailGridView::setDropTarget(std::optional<int> index) {
    if (index == dropTarget_) return;
    dropTarget_ = index;
    if (index) {
        barAnimation_->stop();
        barAnimation_->start();
    }
    viewport()->update();
}

void ThumbnailGridView::dragEnterEvent(QDragEnterEvent* event) {
    if (!acceptsDrag(event->mimeData())) return event->ignore();
    event->setDropAction(Qt::MoveAction);
    event->accept();
    dragMoveEvent(event);
}

void ThumbnailGridView::dragMoveEvent(QDragMoveEvent* event) {
    if (!acceptsDrag(event->mimeData())) return event->ignore();
    const int target = dropIndexAt(event->position().toPoint());
    if (!wouldMove(target)) {
        setDropTarget(std::nullopt);
        return event->ignore();
    }
    setDropTarget(target);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void ThumbnailGridView::dragLeaveEvent(QDragLeaveEvent* event) {
    setDropTarget(std::nullopt);
    event->accept();
}

void ThumbnailGridView::dropEvent(QDropEvent* event) {
    const bool accepted = acceptsDrag(event->mimeData());
    const int target = dropIndexAt(event->position().toPoint());
    const bool moved = accepted && target != *dragSource_ && performDrop(target);
    dragSource_.reset();
    setDropTarget(std::nullopt);
    if (!moved) return event->ignore();
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

bool ThumbnailGridView::wouldMove(int target) const {
    if (!dragSource_ || target == *dragSource_) return false;
    // The pages land after those that stay and stood before the target; nothing moves when they
    // stand there already, in one piece.
    const std::set<int> block = targetsFor(*dragSource_);
    const int destination = target - int(std::distance(block.begin(), block.lower_bound(target)));
    return *block.begin() != destination || *block.rbegin() - *block.begin() + 1 != int(block.size());
}

bool ThumbnailGridView::performDrop(int target) {
    const int source = *dragSource_;
    const std::set<int> block = targetsFor(source);
    const int revision = context_->documentRevision();
    if (block.size() > 1)
        context_->movePages(block, target);
    else
        context_->movePage(source, target);
    if (context_->documentRevision() == revision) return false;  // nothing moved, nothing recorded
    context_->setCurrentPage(target);
    context_->setSelectedPages({});
    return true;
}

}  // namespace scrivola
