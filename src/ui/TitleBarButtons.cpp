#include "ui/TitleBarButtons.h"

#include "app/core/ProductLinks.h"
#include "app/core/Theme.h"
#include "ui/ShortcutsInfoView.h"
#include "ui/Symbols.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace scrivola {

namespace {

void styleButton(QToolButton* button, const QString& symbol, const QString& tip) {
    button->setIcon(symbolIcon(symbol));
    button->setIconSize(QSize(Theme::iconSize, Theme::iconSize));
    button->setAutoRaise(true);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setFixedSize(32, 28);
    button->setFocusPolicy(Qt::NoFocus);
}

}  // namespace

TitleBarInfoButton::TitleBarInfoButton(QWidget* parent) : QToolButton(parent) {
    styleButton(this, QStringLiteral("info.circle"), QStringLiteral("Keyboard Shortcuts"));
    connect(this, &QToolButton::clicked, this, &TitleBarInfoButton::showShortcuts);
}

void TitleBarInfoButton::showShortcuts() {
    // A popup closes itself on a click elsewhere or Escape, like a popover.
    auto* popup = new QFrame(this, Qt::Popup);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(popup);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new ShortcutsInfoView(popup));
    popup->adjustSize();
    // Under the button, its right edges aligned, kept on the screen.
    QPoint position = mapToGlobal(QPoint(width() - popup->width(), height() + 2));
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        position.setX(std::clamp(position.x(), area.left(), std::max(area.left(), area.right() - popup->width())));
        position.setY(std::clamp(position.y(), area.top(), std::max(area.top(), area.bottom() - popup->height())));
    }
    popup->move(position);
    popup_ = popup;
    popup->show();
}

TitleBarFeedbackButton::TitleBarFeedbackButton(QWidget* parent)
    : QToolButton(parent), opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    styleButton(this, QStringLiteral("bubble.left"), QStringLiteral("Send Feedback"));
    connect(this, &QToolButton::clicked, this, [this] {
        if (opener_) opener_(ProductLinks::supportPage());
    });
}

TitleBarButtons::TitleBarButtons(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("titleBarButtons"));
    setFixedSize(72, 28);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(0);
    info_ = new TitleBarInfoButton(this);
    feedback_ = new TitleBarFeedbackButton(this);
    layout->addWidget(info_);
    layout->addWidget(feedback_);
}

}  // namespace scrivola
