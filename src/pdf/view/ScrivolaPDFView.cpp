#include "pdf/view/ScrivolaPDFView.h"

#include "annotation/CoreTextFreeTextAnnotation.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace scrivola {

ScrivolaPDFView::ScrivolaPDFView(QWidget* parent)
    : QAbstractScrollArea(parent), scheduler_(PDFRenderScheduler::application()) {
    connect(scheduler_, &PDFRenderScheduler::rendered, this, [this](const RenderRequest& request) {
        if (request.document == documentId_ && documentId_ != 0) viewport()->update();
    });
    viewport()->setAutoFillBackground(false);
    viewport()->setCursor(Qt::IBeamCursor);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
}

// A box still being edited is committed (or put back) before the view goes.
ScrivolaPDFView::~ScrivolaPDFView() {
    endInlineEditing();
    if (documentId_ && scheduler_) scheduler_->removeDocument(documentId_);
}

void ScrivolaPDFView::setDocument(PDFDocumentPtr document, quint64 revision) {
    if (document != document_) endInlineEditing();
    if (documentId_) scheduler_->removeDocument(documentId_);
    documentId_ = 0;
    fallbackScale_ = 0;
    document_ = std::move(document);
    revision_ = revision;
    localEdits_ = 0;
    shownPage_ = 0;
    lastCurrent_ = -1;
    paintedOnce_ = false;
    forgetPageState();
    if (document_) {
        // The scheduler takes display lists here, on the main thread, through this view.
        documentId_ = scheduler_->addDocument([this](int page) -> std::shared_ptr<const PDFDisplayList> {
            const PDFPagePtr p = pageObject(page);
            return p ? std::shared_ptr<const PDFDisplayList>(p->displayList()) : nullptr;
        });
        scheduler_->setRevision(documentId_, renderRevision());
    }
    relayout();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    noteCurrentPage();
}

void ScrivolaPDFView::setRevision(quint64 revision) {
    if (revision == revision_ || !document_) return;
    // An edit made elsewhere ends the editing first, so the box being edited is not lost.
    endInlineEditing();
    revision_ = revision;
    localEdits_ = 0;
    // Pages may have come, gone or turned: every size is measured again as it comes into view.
    forgetPageState();
    shownPage_ = std::clamp(shownPage_, 0, std::max(0, int(sizes_.size()) - 1));
    scheduler_->setRevision(documentId_, renderRevision());
    relayout();
    noteCurrentPage();
}

void ScrivolaPDFView::setDisplayMode(ViewMode mode) {
    if (mode == mode_) return;
    endInlineEditing();
    const int current = currentPage();
    mode_ = mode;
    relayout();
    if (current >= 0) goToPage(current);
}

void ScrivolaPDFView::setScaleFactor(double scale) {
    scale = std::clamp(std::isfinite(scale) ? scale : 1.0, kMinimumScale, kMaximumScale);
    if (std::abs(scale - scale_) < 1e-9) return;
    // The document point at the view's top-left corner stays there.
    const QPointF anchor = -documentOrigin() / scale_;
    scale_ = scale;
    updateScrollBars();
    horizontalScrollBar()->setValue(int(std::lround(anchor.x() * scale_)));
    verticalScrollBar()->setValue(int(std::lround(anchor.y() * scale_)));
    placeInlineEditor();
    viewport()->update();
    emit scaleFactorChanged(scale_);
    noteCurrentPage();
    emit pagesMoved();
}

int ScrivolaPDFView::shownRow() const { return std::max(0, layout_.rowOf(shownPage_)); }

int ScrivolaPDFView::currentPage() const {
    if (layout_.pageCount() == 0) return -1;
    if (!isContinuous(mode_)) return shownPage_;
    // The page at the middle of the view's top edge, a little below it.
    const QPointF probe(viewport()->width() / 2.0, 2 * PDFPageLayout::kGap * scale_);
    return std::max(0, layout_.pageAt((probe - documentOrigin()) / scale_, true));
}

void ScrivolaPDFView::goToPage(int index) {
    if (layout_.pageCount() == 0) return;
    index = std::clamp(index, 0, layout_.pageCount() - 1);
    if (!isContinuous(mode_)) {
        shownPage_ = layout_.firstPageOfRow(layout_.rowOf(index));
        verticalScrollBar()->setValue(0);
        viewport()->update();
    } else {
        verticalScrollBar()->setValue(int(std::lround((layout_.pageRect(index).top() - PDFPageLayout::kGap) * scale_)));
    }
    noteCurrentPage();
    emit pagesMoved();
}

int ScrivolaPDFView::pageIndexAt(const QPointF& viewPoint, bool nearest) const {
    return layout_.pageAt((viewPoint - documentOrigin()) / scale_, nearest, shownRow());
}

QTransform ScrivolaPDFView::pageTransform(int index) const {
    const PDFPagePtr page = pageObject(index);
    if (!page) return {};
    const QPointF topLeft = documentOrigin() + layout_.pageRect(index).topLeft() * scale_;
    return pageToDeviceTransform(*page, scale_) * QTransform::fromTranslate(topLeft.x(), topLeft.y());
}

QPointF ScrivolaPDFView::convertToPage(const QPointF& viewPoint, int index) const {
    return pageTransform(index).inverted().map(viewPoint);
}

QPointF ScrivolaPDFView::convertFromPage(const QPointF& pagePoint, int index) const {
    return pageTransform(index).map(pagePoint);
}

QPointF ScrivolaPDFView::documentOrigin() const {
    const QSizeF size = layout_.documentSize() * scale_;
    const double x = size.width() < viewport()->width() ? (viewport()->width() - size.width()) / 2
                                                        : -double(horizontalScrollBar()->value());
    return QPointF(x, -double(verticalScrollBar()->value()));
}

void ScrivolaPDFView::relayout() {
    layout_ = PDFPageLayout(sizes_, mode_);
    updateScrollBars();
    placeInlineEditor();
    viewport()->update();
    emit pagesMoved();
}

void ScrivolaPDFView::updateScrollBars() {
    const QSizeF size = layout_.documentSize() * scale_;
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(size.width())) - view.width()));
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(size.height())) - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setPageStep(view.height());
    horizontalScrollBar()->setSingleStep(40);
    verticalScrollBar()->setSingleStep(40);
}

bool ScrivolaPDFView::learnSizesOf(const std::vector<int>& pages) {
    bool changed = false;
    for (const int index : pages) {
        if (known_[size_t(index)]) continue;
        known_[size_t(index)] = 1;
        const PDFPagePtr page = document_->page(index);
        if (!page) continue;
        const QSizeF size = page->rotatedSize();
        if (size != sizes_[size_t(index)]) {
            sizes_[size_t(index)] = size;
            changed = true;
        }
    }
    return changed;
}

void ScrivolaPDFView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Dark));
    if (!document_ || !documentId_ || layout_.pageCount() == 0) return;

    const QPointF origin = documentOrigin();
    const QRectF visible(-origin / scale_, QSizeF(viewport()->size()) / scale_);
    const std::vector<int> pages = layout_.pagesIn(visible, shownRow());
    if (learnSizesOf(pages)) {
        // Measured pages move the others: lay out again and paint with the true sizes.
        relayout();
        return;
    }
    const double dpr = devicePixelRatioF();
    const double deviceScale = scale_ * dpr;
    std::vector<RenderRequest> wanted;
    bool drewTile = false;
    bool allDrawn = true;
    for (const int index : pages) {
        const QRectF pageArea(origin + layout_.pageRect(index).topLeft() * scale_, layout_.pageRect(index).size() * scale_);
        painter.fillRect(pageArea, Qt::white);
        // The visible part of the page in the device pixels of its picture, cut into tiles.
        const QRectF shown = pageArea.intersected(QRectF(viewport()->rect()));
        if (shown.isEmpty()) continue;
        // The picture's pixel size as the engine rounds it: no tile lies beyond it.
        const QSizeF pictureSize = layout_.pageRect(index).size() * deviceScale;
        const QRect picture(0, 0, int(std::ceil(pictureSize.width() - 0.001)), int(std::ceil(pictureSize.height() - 0.001)));
        const QRect inPicture =
            QRectF((shown.topLeft() - pageArea.topLeft()) * dpr, shown.size() * dpr).toAlignedRect().intersected(picture);
        if (inPicture.isEmpty()) continue;
        const int firstColumn = inPicture.left() / kTileSize;
        const int lastColumn = inPicture.right() / kTileSize;
        const int firstRow = inPicture.top() / kTileSize;
        const int lastRow = inPicture.bottom() / kTileSize;
        for (int row = firstRow; row <= lastRow; ++row) {
            for (int column = firstColumn; column <= lastColumn; ++column) {
                const RenderRequest request{index, renderRevision(), deviceScale,
                                            QRect(column * kTileSize, row * kTileSize, kTileSize, kTileSize),
                                            RenderPriority::visible, documentId_};
                wanted.push_back(request);
                QImage tile = scheduler_->request(request);
                if (tile.isNull()) {
                    // Until the tile arrives: the same tile before the last edit, or the tiles of
                    // the scale shown before, else the white page.
                    allDrawn = false;
                    tile = scheduler_->placeholder(request);
                    if (tile.isNull()) {
                        paintFallback(painter, request, pageArea.topLeft(), dpr);
                        continue;
                    }
                }
                tile.setDevicePixelRatio(dpr);
                painter.drawImage(pageArea.topLeft() + QPointF(request.area.topLeft()) / dpr, tile);
                drewTile = true;
            }
        }
        paintSelection(painter, index, pageArea);
        paintToolOverlays(painter, index);
    }
    paintPageIndicator(painter);
    // Tiles scrolled away are not drawn any more.
    scheduler_->cancelExcept(documentId_, wanted);
    if (allDrawn) fallbackScale_ = deviceScale;
    if (drewTile && !paintedOnce_) {
        paintedOnce_ = true;
        QMetaObject::invokeMethod(this, &ScrivolaPDFView::painted, Qt::QueuedConnection);
    }
}

void ScrivolaPDFView::forgetPageState() {
    // Every page is first taken to have the first page's size; pages in view are measured.
    const int count = document_ ? document_->pageCount() : 0;
    const PDFPagePtr first = count > 0 ? document_->page(0) : nullptr;
    sizes_.assign(size_t(count), first ? first->rotatedSize() : QSizeF(612, 792));
    known_.assign(size_t(count), 0);
    if (count > 0) known_[0] = 1;
    texts_.clear();
    anchor_.reset();
    selecting_ = false;
    if (!selection_.isEmpty()) {
        selection_ = PDFSelection();
        emit selectionChanged();
    }
}

std::optional<PDFSelection> ScrivolaPDFView::currentSelection() const {
    if (selection_.isEmpty()) return std::nullopt;
    return selection_;
}

void ScrivolaPDFView::clearSelection() {
    anchor_.reset();
    if (selection_.isEmpty()) return;
    selection_ = PDFSelection();
    viewport()->update();
    emit selectionChanged();
}

void ScrivolaPDFView::setHandMode(bool hand) {
    handMode_ = hand;
    updateToolCursor();
}

PDFTextSelection::PageTextSource ScrivolaPDFView::textSource(int page) {
    const PDFPagePtr p = pageObject(page);
    if (!p) return {};
    auto [it, added] = texts_.try_emplace(page);
    if (added) it->second = p->text();
    return {p, &it->second};
}

std::optional<TextCaret> ScrivolaPDFView::caretAt(const QPointF& viewPoint) {
    const int page = pageIndexAt(viewPoint, true);
    const PDFTextSelection::PageTextSource source = textSource(page);
    if (!source.text) return std::nullopt;
    return PDFTextSelection::caretAt(*source.text, page, convertToPage(viewPoint, page));
}

void ScrivolaPDFView::startSelection(const QPointF& viewPoint, TextSnap snap) {
    anchor_ = caretAt(viewPoint);
    snap_ = snap;
    selecting_ = anchor_.has_value();
    const PDFSelection previous = selection_;
    selection_ = anchor_ && snap != TextSnap::character
                     ? PDFTextSelection::select([this](int p) { return textSource(p); }, *anchor_, *anchor_, snap)
                     : PDFSelection();
    viewport()->update();
    if (!(previous.isEmpty() && selection_.isEmpty())) emit selectionChanged();
}

void ScrivolaPDFView::mousePressEvent(QMouseEvent* event) {
    if (stampPress(event)) return;
    if (event->button() != Qt::LeftButton || !document_) return QAbstractScrollArea::mousePressEvent(event);
    if (toolPress(event)) return;
    if (handMode_) {
        panFrom_ = event->position().toPoint();
        panScroll_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
        viewport()->setCursor(Qt::ClosedHandCursor);
        return;
    }
    // A press on a text box does not start a text selection.
    const PagePoint at = pagePointAt(event->position());
    if (freeTextAt(at.page, at.point)) return;
    startSelection(event->position(), TextSnap::character);
}

void ScrivolaPDFView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !document_) return QAbstractScrollArea::mouseDoubleClickEvent(event);
    if (toolPress(event) || handMode_) return;
    // A second click selects the word; a click on an existing word selection widens it to the line.
    startSelection(event->position(), snap_ == TextSnap::word && !selection_.isEmpty() ? TextSnap::line : TextSnap::word);
}

void ScrivolaPDFView::mouseMoveEvent(QMouseEvent* event) {
    if (document_ && toolMove(event)) return;
    if (panFrom_) {
        const QPoint moved = event->position().toPoint() - *panFrom_;
        horizontalScrollBar()->setValue(panScroll_.x() - moved.x());
        verticalScrollBar()->setValue(panScroll_.y() - moved.y());
        return;
    }
    if (!selecting_ || !anchor_) return;
    const std::optional<TextCaret> focus = caretAt(event->position());
    if (!focus) return;
    selection_ = PDFTextSelection::select([this](int p) { return textSource(p); }, *anchor_, *focus, snap_);
    viewport()->update();
    emit selectionChanged();
}

void ScrivolaPDFView::mouseReleaseEvent(QMouseEvent* event) {
    if (document_ && event->button() == Qt::LeftButton && toolRelease(event)) return;
    if (panFrom_) {
        panFrom_.reset();
        viewport()->setCursor(Qt::OpenHandCursor);
        return;
    }
    if (!selecting_) return QAbstractScrollArea::mouseReleaseEvent(event);
    selecting_ = false;
    if (!selection_.isEmpty()) emit selectionFinished();
}

bool ScrivolaPDFView::paintFallback(QPainter& painter, const RenderRequest& tile, const QPointF& pageTopLeft, double dpr) const {
    if (!(fallbackScale_ > 0) || std::abs(fallbackScale_ - tile.scale) < 1e-9) return false;
    const double ratio = fallbackScale_ / tile.scale;  // old pixels per new pixel
    const QRect area = QRectF(QPointF(tile.area.topLeft()) * ratio, QSizeF(tile.area.size()) * ratio).toAlignedRect();
    painter.save();
    painter.setClipRect(QRectF(pageTopLeft + QPointF(tile.area.topLeft()) / dpr, QSizeF(tile.area.size()) / dpr));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    bool drew = false;
    for (int y = area.top() / kTileSize * kTileSize; y <= area.bottom(); y += kTileSize) {
        for (int x = area.left() / kTileSize * kTileSize; x <= area.right(); x += kTileSize) {
            RenderRequest old = tile;
            old.scale = fallbackScale_;
            old.area = QRect(x, y, kTileSize, kTileSize);
            const QImage picture = scheduler_->cached(old);
            if (picture.isNull()) continue;
            painter.drawImage(QRectF(pageTopLeft + QPointF(x, y) / ratio / dpr, QSizeF(picture.size()) / ratio / dpr), picture);
            drew = true;
        }
    }
    painter.restore();
    return drew;
}

// The selected lines of a page, in the accent colour over the drawn page.
void ScrivolaPDFView::paintSelection(QPainter& painter, int page, const QRectF& pageArea) const {
    if (selection_.isEmpty()) return;
    const PDFPagePtr p = document_->page(page);
    if (!p) return;
    const QRectF bounds = selection_.bounds(*p);
    if (bounds.isEmpty()) return;
    QColor accent = palette().color(QPalette::Highlight);
    accent.setAlphaF(0.35f);
    const QTransform toView = pageTransform(page);
    painter.save();
    painter.setClipRect(pageArea);
    for (const PDFSelection::LineRange& line : selection_.lines())
        if (line.page == p) painter.fillRect(toView.mapRect(line.bounds), accent);
    painter.restore();
}

QString ScrivolaPDFView::pageIndicatorText() const {
    const int current = currentPage();
    if (current < 0) return {};
    return QStringLiteral("Page %1 of %2").arg(current + 1).arg(layout_.pageCount());
}

// Laid over the bottom-right corner, 12 points in: the text at 11 points on a rounded plate of the
// window colour at 90 % opacity, padded 10 points across and 5 down.
void ScrivolaPDFView::paintPageIndicator(QPainter& painter) const {
    const QString text = pageIndicatorText();
    if (text.isEmpty()) return;
    QFont font = this->font();
    font.setPointSizeF(11);
    const QFontMetricsF metrics(font);
    const QSizeF plate(metrics.horizontalAdvance(text) + 20, metrics.height() + 10);
    const QRectF area(QPointF(viewport()->width() - 12 - plate.width(), viewport()->height() - 12 - plate.height()), plate);
    QColor surface = palette().color(QPalette::Window);
    surface.setAlphaF(0.9f);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(surface);
    painter.drawRoundedRect(area, 4, 4);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, Qt::AlignCenter, text);
    painter.restore();
}

void ScrivolaPDFView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (!boundsReady_ && viewport()->width() > 20 && viewport()->height() > 20) {
        boundsReady_ = true;
        emit boundsReady();
    }
    emit pagesMoved();
}

void ScrivolaPDFView::scrollContentsBy(int, int) {
    placeInlineEditor();
    viewport()->update();
    noteCurrentPage();
    emit pagesMoved();
}

void ScrivolaPDFView::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        if (!isContinuous(mode_) && flipAtEdge(event->angleDelta().y())) {
            event->accept();
            return;
        }
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // Ctrl + wheel zooms by 1.25 per notch.
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) {
        setScaleFactor(scale_ * std::pow(1.25, notches));
        emit userZoomed();
    }
    event->accept();
}

// In the modes that show one page (or pair) at a time, scrolling on past its bottom or top edge
// turns to the next or previous one, after a whole notch's worth of scrolling at the edge.
bool ScrivolaPDFView::flipAtEdge(int delta) {
    const QScrollBar* bar = verticalScrollBar();
    const bool down = delta < 0;
    const int row = shownRow();
    const bool atEdge = down ? bar->value() >= bar->maximum() && layout_.endPageOfRow(row) < layout_.pageCount()
                             : bar->value() <= bar->minimum() && row > 0;
    if (!atEdge || delta == 0) {
        edgeWheel_ = 0;
        return false;
    }
    edgeWheel_ += std::abs(delta);
    if (edgeWheel_ < 120) return true;
    edgeWheel_ = 0;
    goToPage(layout_.firstPageOfRow(down ? row + 1 : row - 1));
    if (!down) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    return true;
}

bool ScrivolaPDFView::viewportEvent(QEvent* event) {
    // A pinch on a touchpad zooms like Ctrl and the wheel.
    if (event->type() == QEvent::NativeGesture) {
        const auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            setScaleFactor(scale_ * (1 + gesture->value()));
            emit userZoomed();
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ScrivolaPDFView::noteCurrentPage() {
    const int current = currentPage();
    if (current == lastCurrent_) return;
    lastCurrent_ = current;
    viewport()->update();
    emit currentPageChanged(current);
}

}  // namespace scrivola
