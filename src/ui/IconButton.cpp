#include "ui/IconButton.h"

#include "app/core/Theme.h"
#include "ui/Symbols.h"

#include <QBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace scrivola {

namespace {
constexpr int kSymbolSide = 16;
constexpr int kPadding = 6;
constexpr int kMenuArrow = 8;
}  // namespace

IconButton::IconButton(const QString& symbol, const QString& toolTip, QWidget* parent)
    : QToolButton(parent), symbol_(symbol) {
    setToolTip(toolTip);
    setAccessibleName(toolTip);
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setCursor(Qt::ArrowCursor);
}

void IconButton::setSymbol(const QString& symbol) {
    if (symbol_ == symbol) return;
    symbol_ = symbol;
    update();
}

void IconButton::setActive(bool active) {
    if (active_ == active) return;
    active_ = active;
    update();
}

void IconButton::setDimmed(bool dimmed) {
    if (dimmed_ == dimmed) return;
    dimmed_ = dimmed;
    update();
}

void IconButton::setSwatch(const QColor& color) {
    if (swatch_ == color) return;
    swatch_ = color;
    update();
}

QSize IconButton::sizeHint() const {
    int width = 2 * kPadding;
    if (!symbol_.isEmpty() || swatch_.isValid()) width += kSymbolSide;
    if (!text().isEmpty()) width += fontMetrics().horizontalAdvance(text()) + (width > 2 * kPadding ? 4 : 0);
    if (menu()) width += kMenuArrow + 2;
    return QSize(std::max(width, 28), 28);
}

void IconButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QToolButton::enterEvent(event);
}

void IconButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QToolButton::leaveEvent(event);
}

void IconButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDarkPalette(palette());
    const QColor accent = palette().color(QPalette::Highlight);
    const QRectF frame = QRectF(rect()).adjusted(1, 1, -1, -1);
    if (active_) {
        QColor fill = accent;
        fill.setAlphaF(0.18);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(frame, Theme::smallCornerRadius, Theme::smallCornerRadius);
    }
    if ((hovered_ && isEnabled()) || isDown()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::hover(dark));
        painter.drawRoundedRect(frame, Theme::smallCornerRadius, Theme::smallCornerRadius);
    }

    painter.setOpacity(drawnOpacity());
    const QColor ink = active_ ? accent : palette().color(QPalette::ButtonText);
    double x = kPadding;
    const double middle = height() / 2.0;
    if (swatch_.isValid()) {
        const QRectF disc(x + 1, middle - 7, 14, 14);
        painter.setPen(QPen(palette().color(QPalette::Mid), 1));
        painter.setBrush(swatch_);
        painter.drawEllipse(disc);
        x += kSymbolSide + 4;
    } else if (!symbol_.isEmpty()) {
        paintSymbol(painter, symbol_, QRectF(x, middle - kSymbolSide / 2.0, kSymbolSide, kSymbolSide), ink);
        x += kSymbolSide + 4;
    }
    if (!text().isEmpty()) {
        painter.setPen(ink);
        const int right = width() - kPadding - (menu() ? kMenuArrow + 2 : 0);
        painter.drawText(QRectF(x, 0, right - x, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    }
    if (menu())
        paintSymbol(painter, QStringLiteral("chevron.down"),
                    QRectF(width() - kPadding - kMenuArrow, middle - kMenuArrow / 2.0, kMenuArrow, kMenuArrow), ink);
}

IconButton* addIconButton(QWidget* owner, QBoxLayout* layout, const QString& name, const QString& symbol,
                          const QString& toolTip, const std::function<void()>& action) {
    auto* button = new IconButton(symbol, toolTip, owner);
    button->setObjectName(name);
    if (action) QObject::connect(button, &QToolButton::clicked, owner, action);
    layout->addWidget(button);
    return button;
}

}  // namespace scrivola
