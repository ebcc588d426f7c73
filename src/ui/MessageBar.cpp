#include "ui/MessageBar.h"

#include "app/core/Theme.h"
#include "ui/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

namespace scrivola {

MessageBar::MessageBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("messageBar"));
    setAccessibleName(QStringLiteral("Message"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 6, 6);
    layout->setSpacing(8);
    icon_ = new QLabel(this);
    icon_->setPixmap(symbolPixmap(QStringLiteral("exclamationmark.triangle"), QSize(Theme::iconSize, Theme::iconSize), Theme::danger(), devicePixelRatioF()));
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text_->setTextFormat(Qt::PlainText);
    close_ = new QToolButton(this);
    close_->setIcon(symbolIcon(QStringLiteral("xmark")));
    close_->setAutoRaise(true);
    close_->setToolTip(QStringLiteral("Close"));
    close_->setAccessibleName(QStringLiteral("Close"));
    layout->addWidget(icon_);
    layout->addWidget(text_, 1);
    layout->addWidget(close_, 0, Qt::AlignTop);
    connect(close_, &QToolButton::clicked, this, &MessageBar::dismiss);
    hide();
}

void MessageBar::showMessage(const QString& message) {
    text_->setText(message);
    setToolTip(message);
    show();
}

void MessageBar::dismiss() {
    text_->clear();
    hide();
}

QString MessageBar::message() const { return isHidden() ? QString() : text_->text(); }

void MessageBar::paintEvent(QPaintEvent* event) {
    // The danger colour, faint over the window's own background, with a line below.
    QPainter painter(this);
    const QColor base = palette().color(QPalette::Window);
    QColor tint = Theme::danger();
    tint.setAlphaF(0.18);
    painter.fillRect(rect(), base);
    painter.fillRect(rect(), tint);
    painter.setPen(Theme::danger());
    painter.drawLine(rect().bottomLeft(), rect().bottomRight());
    QFrame::paintEvent(event);
}

}  // namespace scrivola
