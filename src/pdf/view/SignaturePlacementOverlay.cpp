#include "pdf/view/SignaturePlacementOverlay.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <cmath>

namespace scrivola {

namespace {

std::array<QPointF, 4> cornersOf(const QRectF& r) { return {r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()}; }

}  // namespace

SignaturePlacementOverlay::SignaturePlacementOverlay(PDFDocumentContext* context, ScrivolaPDFView* view)
    : QWidget(view->viewport()), context_(context), view_(view), bar_(new QWidget(view->viewport())) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);

    bar_->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(bar_);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    place_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), QStringLiteral("Place"), bar_);
    cancel_ = new QToolButton(bar_);
    cancel_->setText(QStringLiteral("\u2715"));
    cancel_->setToolTip(tr("Cancel"));
    layout->addWidget(place_);
    layout->addWidget(cancel_);
    connect(place_, &QPushButton::clicked, this, &SignaturePlacementOverlay::confirm);
    connect(cancel_, &QToolButton::clicked, this, &SignaturePlacementOverlay::cancel);

    connect(view, &ScrivolaPDFView::pagesMoved, this, &SignaturePlacementOverlay::follow);
    connect(view, &ScrivolaPDFView::currentPageChanged, this, &SignaturePlacementOverlay::follow);
    PDFSignaturePlacement* placement = context->signaturePlacement();
    connect(placement, &PDFSignaturePlacement::changed, this, &SignaturePlacementOverlay::follow);
    connect(placement, &PDFSignaturePlacement::placingSignatureImageChanged, this, [this] {
        scaled_ = QImage();
        update();
    });
    follow();
    setFocus();
}

SignaturePlacementOverlay::~SignaturePlacementOverlay() { delete bar_; }

void SignaturePlacementOverlay::dismiss() {
    hide();
    if (bar_) bar_->hide();
    deleteLater();
}

void SignaturePlacementOverlay::follow() {
    PDFDocumentContext* context = context_.data();
    ScrivolaPDFView* view = view_.data();
    const int index = context ? context->signaturePlacement()->signaturePlacementPageIndex() : -1;
    const PDFPagePtr page = view && view->document() && context && context->signaturePlacement()->isPlacingSignature() ? view->document()->page(index) : nullptr;
    QRectF pageArea;
    if (page) pageArea = view->pageTransform(index).mapRect(page->bounds(PDFBox::cropBox));
    // Hidden while its page is not on screen (scrolled away, or another page shown).
    if (!page || !pageArea.intersects(QRectF(view->viewport()->rect())) || view->pageIndexAt(pageArea.center(), false) != index) {
        picture_ = QRectF();
        hide();
        bar_->hide();
        return;
    }
    picture_ = view->pageTransform(index).mapRect(context->signaturePlacement()->signaturePageRect());
    const int margin = kHandleSize / 2 + 1;
    setGeometry(picture_.toAlignedRect().adjusted(-margin, -margin, margin, margin));
    show();
    raise();

    // The buttons under the picture, or above it when there is no room below.
    bar_->adjustSize();
    const QSize barSize = bar_->size();
    const QRect area = view->viewport()->rect();
    int top = int(picture_.bottom()) + margin + 4;
    if (top + barSize.height() > area.bottom()) top = int(picture_.top()) - margin - 4 - barSize.height();
    const int left = std::clamp(int(picture_.center().x()) - barSize.width() / 2, 0, std::max(0, area.width() - barSize.width()));
    bar_->move(left, top);
    bar_->show();
    bar_->raise();
    update();
}

void SignaturePlacementOverlay::paintEvent(QPaintEvent*) {
    if (!context_ || picture_.isEmpty()) return;
    QPainter painter(this);
    const QRectF shown = picture_.translated(-QPointF(pos()));
    // The picture is cached at its shown size in device pixels and redrawn only when that changes.
    const double dpr = devicePixelRatioF();
    const QSize pixels = (shown.size() * dpr).toSize();
    if (scaled_.size() != pixels && !pixels.isEmpty() && !context_->signaturePlacement()->placingSignatureImage().isNull()) {
        scaled_ = context_->signaturePlacement()->placingSignatureImage().scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaled_.setDevicePixelRatio(dpr);
    }
    if (!scaled_.isNull()) painter.drawImage(shown.topLeft(), scaled_);

    const QColor accent = palette().color(QPalette::Highlight);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(accent, 1.5, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(shown);
    painter.setPen(QPen(accent, 1.5));
    painter.setBrush(Qt::white);
    const double half = kHandleSize / 2.0;
    for (const QPointF& corner : cornersOf(shown)) painter.drawRect(QRectF(corner - QPointF(half, half), QSizeF(kHandleSize, kHandleSize)));
}

int SignaturePlacementOverlay::cornerAt(const QPointF& viewportPoint) const {
    const auto corners = cornersOf(picture_);
    for (int i = 0; i < 4; ++i) {
        const QPointF d = viewportPoint - corners[size_t(i)];
        if (std::abs(d.x()) <= kHandleSize && std::abs(d.y()) <= kHandleSize) return i;
    }
    return -1;
}

void SignaturePlacementOverlay::updateCursor(const QPointF& viewportPoint) {
    const int corner = cornerAt(viewportPoint);
    if (corner >= 0)
        setCursor(corner % 2 == 0 ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
    else
        setCursor(picture_.contains(viewportPoint) ? Qt::SizeAllCursor : Qt::ArrowCursor);
}

void SignaturePlacementOverlay::mousePressEvent(QMouseEvent* event) {
    const QPointF point = mapToParent(event->position());
    if (event->button() != Qt::LeftButton || !context_) return event->ignore();
    corner_ = cornerAt(point);
    drag_ = corner_ >= 0 ? Drag::resize : picture_.contains(point) ? Drag::move : Drag::none;
    if (drag_ == Drag::none) return event->ignore();
    dragStart_ = point;
    startPicture_ = picture_;
    startPageRect_ = context_->signaturePlacement()->signaturePageRect();
    setFocus();
}

void SignaturePlacementOverlay::mouseMoveEvent(QMouseEvent* event) {
    const QPointF point = mapToParent(event->position());
    PDFDocumentContext* context = context_.data();
    ScrivolaPDFView* view = view_.data();
    if (drag_ == Drag::none || !context || !view) return updateCursor(point);
    const int index = context->signaturePlacement()->signaturePlacementPageIndex();
    const QTransform toPage = view->pageTransform(index).inverted();
    if (drag_ == Drag::move) {
        // Moved in page space, so the size stays exact; the context keeps it on the page.
        context->signaturePlacement()->moveSignaturePlacement(startPageRect_.translated(toPage.map(point) - toPage.map(dragStart_)));
        return;
    }
    // Resizing: the opposite corner stays; the dragged one stops at the page's edges and at the
    // minimum size (as shown, so a turned page keeps it the right way round).
    const PDFPagePtr page = view->document() ? view->document()->page(index) : nullptr;
    if (!page) return;
    const QRectF pageArea = view->pageTransform(index).mapRect(page->bounds(PDFBox::cropBox));
    const QPointF anchor = cornersOf(startPicture_)[size_t((corner_ + 2) % 4)];
    const QPointF to(std::clamp(point.x(), pageArea.left(), pageArea.right()), std::clamp(point.y(), pageArea.top(), pageArea.bottom()));
    const double sx = (corner_ == 1 || corner_ == 2) ? 1 : -1;
    const double sy = (corner_ == 2 || corner_ == 3) ? 1 : -1;
    const double width = std::max(sx * (to.x() - anchor.x()), PDFSignaturePlacement::kMinimumSignatureWidth * view->scaleFactor());
    const double height = std::max(sy * (to.y() - anchor.y()), PDFSignaturePlacement::kMinimumSignatureHeight * view->scaleFactor());
    const QRectF shown = QRectF(anchor, anchor + QPointF(sx * width, sy * height)).normalized();
    context->signaturePlacement()->moveSignaturePlacement(toPage.mapRect(shown));
}

void SignaturePlacementOverlay::mouseReleaseEvent(QMouseEvent* event) {
    if (drag_ == Drag::none) return event->ignore();
    drag_ = Drag::none;
    updateCursor(mapToParent(event->position()));
}

void SignaturePlacementOverlay::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: confirm(); break;
    case Qt::Key_Escape: cancel(); break;
    default: QWidget::keyPressEvent(event);
    }
}

void SignaturePlacementOverlay::confirm() {
    if (context_) context_->signaturePlacement()->confirmSignaturePlacement();
}

void SignaturePlacementOverlay::cancel() {
    if (context_) context_->signaturePlacement()->cancelSignaturePlacement();
}

}  // namespace scrivola
