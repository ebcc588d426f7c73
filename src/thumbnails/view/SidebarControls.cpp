#include "thumbnails/view/SidebarControls.h"

#include "pdf/PDFDocumentContext.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {

constexpr int kIcon = 16;

// An icon drawn in the button's text colour at the screen's pixel ratio.
template <typename Draw>
QIcon drawnIcon(const QWidget* widget, Draw draw, const QColor& colour = {}) {
    const double dpr = widget->devicePixelRatioF();
    QPixmap pixmap(QSize(kIcon, kIcon) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour.isValid() ? colour : widget->palette().color(QPalette::ButtonText), 1.5);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    draw(painter);
    return QIcon(pixmap);
}

// Two arrows, up and down; in a filled circle when `filled`.
QIcon sortIcon(const QWidget* widget, bool filled) {
    const QColor accent = widget->palette().color(QPalette::Highlight);
    return drawnIcon(widget, [&](QPainter& p) {
        if (filled) {
            p.save();
            p.setPen(Qt::NoPen);
            p.setBrush(accent);
            p.drawEllipse(QRectF(0.5, 0.5, kIcon - 1, kIcon - 1));
            p.restore();
            QPen pen = p.pen();
            pen.setColor(widget->palette().color(QPalette::HighlightedText));
            p.setPen(pen);
        }
        p.drawLine(QPointF(5.5, 12), QPointF(5.5, 4));
        p.drawPolyline(QPolygonF({QPointF(3, 6.5), QPointF(5.5, 4), QPointF(8, 6.5)}));
        p.drawLine(QPointF(10.5, 4), QPointF(10.5, 12));
        p.drawPolyline(QPolygonF({QPointF(8, 9.5), QPointF(10.5, 12), QPointF(13, 9.5)}));
    });
}

QIcon trashIcon(const QWidget* widget, const QColor& colour) {
    return drawnIcon(widget, [](QPainter& p) {
        p.drawLine(QPointF(2.5, 4), QPointF(13.5, 4));
        p.drawLine(QPointF(6, 4), QPointF(6.5, 2));
        p.drawLine(QPointF(6.5, 2), QPointF(9.5, 2));
        p.drawLine(QPointF(9.5, 2), QPointF(10, 4));
        p.drawPolyline(QPolygonF({QPointF(4, 4), QPointF(5, 14), QPointF(11, 14), QPointF(12, 4)}));
    }, colour);
}

// A magnifying glass with a minus or a plus.
QIcon magnifierIcon(const QWidget* widget, bool plus) {
    return drawnIcon(widget, [plus](QPainter& p) {
        p.drawEllipse(QRectF(1.5, 1.5, 9.5, 9.5));
        p.drawLine(QPointF(9.8, 9.8), QPointF(14.5, 14.5));
        p.drawLine(QPointF(3.8, 6.25), QPointF(8.7, 6.25));
        if (plus) p.drawLine(QPointF(6.25, 3.8), QPointF(6.25, 8.7));
    });
}

QToolButton* toolButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIconSize(QSize(kIcon, kIcon));
    return button;
}

}  // namespace

// --- SidebarToolbar ----------------------------------------------------------------------------

SidebarToolbar::SidebarToolbar(PDFDocumentContext* context, QWidget* parent)
    : QWidget(parent), context_(context), sort_(toolButton(this)), delete_(toolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
    sort_->setCheckable(true);
    sort_->setToolTip(QStringLiteral("Reorder Pages"));
    delete_->setText(QStringLiteral("Delete"));
    delete_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Destructive: drawn in red.
    QPalette destructive = delete_->palette();
    destructive.setColor(QPalette::ButtonText, QColor(0xd7, 0x30, 0x27));
    delete_->setPalette(destructive);
    delete_->setIcon(trashIcon(this, destructive.color(QPalette::ButtonText)));
    delete_->setGraphicsEffect(new QGraphicsOpacityEffect(delete_));
    layout->addWidget(sort_);
    layout->addStretch(1);
    layout->addWidget(delete_);

    connect(sort_, &QToolButton::clicked, this, [this] {
        if (context_)
            context_->setSidebarMode(context_->sidebarMode() == SidebarMode::sort ? SidebarMode::view : SidebarMode::sort);
    });
    connect(delete_, &QToolButton::clicked, this, [this] {
        if (context_ && canDelete()) context_->deleteSelectedPages();
    });
    connect(context, &PDFDocumentContext::panelsChanged, this, &SidebarToolbar::refresh);
    connect(context, &PDFDocumentContext::selectedPagesChanged, this, &SidebarToolbar::refresh);
    connect(context, &DocumentContext::documentRevisionChanged, this, &SidebarToolbar::refresh);
    refresh();
}

void SidebarToolbar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) refresh();
}

bool SidebarToolbar::canDelete() const {
    if (!context_) return false;
    const size_t selected = context_->selectedPages().size();
    return selected > 0 && int(selected) < context_->totalPages();
}

void SidebarToolbar::refresh() {
    const bool sorting = context_ && context_->sidebarMode() == SidebarMode::sort;
    sort_->setChecked(sorting);
    sort_->setIcon(sortIcon(this, sorting));
    const bool enabled = canDelete();
    delete_->setEnabled(enabled);
    static_cast<QGraphicsOpacityEffect*>(delete_->graphicsEffect())->setOpacity(enabled ? 1.0 : 0.35);
}

// --- ThumbnailZoomControls ---------------------------------------------------------------------

ThumbnailZoomControls::ThumbnailZoomControls(PDFDocumentContext* context, QWidget* parent)
    : QWidget(parent), context_(context), minus_(toolButton(this)), slider_(new QSlider(Qt::Horizontal, this)),
      plus_(toolButton(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setSpacing(4);
    setIcons();
    minus_->setToolTip(QStringLiteral("Thumbnails verkleinern"));
    plus_->setToolTip(QStringLiteral("Thumbnails vergrössern"));
    // Hundredths of the scale: fine enough to be continuous.
    slider_->setRange(int(kMinScale * 100), int(kMaxScale * 100));
    slider_->setMaximumWidth(120);
    layout->addStretch(1);
    layout->addWidget(minus_);
    layout->addWidget(slider_);
    layout->addWidget(plus_);
    layout->addStretch(1);

    const auto scale = [this] { return context_ ? context_->thumbnailScale() : 1.0; };
    // Rounded to the step's precision, so that repeated steps land on 0.6, 0.7… exactly.
    const auto set = [this](double value) {
        if (context_) context_->setThumbnailScale(std::clamp(std::round(value * 100) / 100, kMinScale, kMaxScale));
    };
    connect(minus_, &QToolButton::clicked, this, [scale, set] { set(std::max(scale() - kStep, kMinScale)); });
    connect(plus_, &QToolButton::clicked, this, [scale, set] { set(std::min(scale() + kStep, kMaxScale)); });
    connect(slider_, &QSlider::valueChanged, this, [set](int value) { set(value / 100.0); });
    connect(context, &PDFDocumentContext::panelsChanged, this, &ThumbnailZoomControls::refresh);
    refresh();
}

void ThumbnailZoomControls::setIcons() {
    minus_->setIcon(magnifierIcon(this, false));
    plus_->setIcon(magnifierIcon(this, true));
}

void ThumbnailZoomControls::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) setIcons();
}

void ThumbnailZoomControls::refresh() {
    const double scale = context_ ? context_->thumbnailScale() : 1.0;
    minus_->setEnabled(scale > kMinScale + 1e-9);
    plus_->setEnabled(scale < kMaxScale - 1e-9);
    const QSignalBlocker blocker(slider_);
    slider_->setValue(int(std::lround(scale * 100)));
}

}  // namespace scrivola
