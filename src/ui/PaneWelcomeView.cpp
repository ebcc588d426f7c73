#include "ui/PaneWelcomeView.h"

#include "ui/Symbols.h"
#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/TabItem.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace scrivola {

namespace {
constexpr int kSymbolSize = 48;
constexpr int kMoveButtonWidth = 260;

QString kindSymbol(const TabItem* tab) {
    return tab && qobject_cast<ImageDocumentContext*>(tab->context()) ? QStringLiteral("photo") : QStringLiteral("doc.richtext");
}

QLabel* symbolLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(symbolIcon(name).pixmap(kSymbolSize, kSymbolSize));
    label->setAlignment(Qt::AlignCenter);
    return label;
}
}  // namespace

MoveTabButton::MoveTabButton(AppViewModel* model, TabItem* tab, int paneIndex, QWidget* parent)
    : QAbstractButton(parent), model_(model), tab_(tab), paneIndex_(paneIndex) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setText(tab->content()->displayName());
    setToolTip(text());
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (model_ && tab_) model_->moveTab(*tab_, paneIndex_);
    });
}

QSize MoveTabButton::sizeHint() const { return {kMoveButtonWidth, 32}; }

void MoveTabButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Theme::isDarkPalette(palette());
    QPainterPath frame;
    frame.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), Theme::smallCornerRadius, Theme::smallCornerRadius);
    painter.fillPath(frame, underMouse() ? Theme::hover(dark) : Theme::surface(dark));
    painter.setPen(Theme::border(dark));
    painter.drawPath(frame);
    const QColor ink = palette().color(QPalette::WindowText);
    const int side = Theme::iconSize;
    const int y = (height() - side) / 2;
    paintSymbol(painter, kindSymbol(tab_), QRectF(10, y, side, side), ink);
    paintSymbol(painter, QStringLiteral("arrow.right"), QRectF(width() - 10 - side, y, side, side), ink);
    const QRect textRect(18 + side, 0, width() - 2 * (18 + side), height());
    painter.setPen(ink);
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, fontMetrics().elidedText(text(), Qt::ElideMiddle, textRect.width()));
}

PaneWelcomeView::PaneWelcomeView(AppViewModel* model, int paneIndex, QWidget* parent)
    : QWidget(parent), model_(model), paneIndex_(paneIndex) {
    auto* outer = new QVBoxLayout(this);
    outer->addStretch(1);
    auto* column = new QWidget(this);
    content_ = new QVBoxLayout(column);
    content_->setSpacing(10);
    outer->addWidget(column, 0, Qt::AlignHCenter);
    outer->addStretch(1);
    connect(model, &AppViewModel::panesChanged, this, &PaneWelcomeView::observe);
    observe();
}

void PaneWelcomeView::setPaneIndex(int index) {
    if (index == paneIndex_) return;
    paneIndex_ = index;
    observe();
}

Pane* PaneWelcomeView::otherPane() const { return model_ ? model_->pane(paneIndex_ == 0 ? 1 : 0) : nullptr; }

QString PaneWelcomeView::heading() const { return heading_ ? heading_->text() : QString(); }

void PaneWelcomeView::observe() {
    for (const auto& c : connections_) disconnect(c);
    connections_.clear();
    observed_ = otherPane();
    if (observed_) {
        connections_ << connect(observed_, &Pane::tabsChanged, this, &PaneWelcomeView::rebuild);
        connections_ << connect(observed_, &Pane::tabUrlChanged, this, &PaneWelcomeView::rebuild);
    }
    rebuild();
}

void PaneWelcomeView::rebuild() {
    while (QLayoutItem* item = content_->takeAt(0)) {
        // Later: a button's own click may have caused this rebuild.
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    buttons_.clear();
    QWidget* column = content_->parentWidget();
    const QList<TabItem*> others = observed_ ? observed_->tabs() : QList<TabItem*>();
    const auto addLabel = [&](const QString& text, bool secondary) {
        auto* label = new QLabel(text, column);
        label->setAlignment(Qt::AlignCenter);
        if (secondary) label->setForegroundRole(QPalette::PlaceholderText);
        content_->addWidget(label);
        return label;
    };
    content_->addWidget(symbolLabel(QStringLiteral("doc.badge.plus"), column));
    auto* open = new QPushButton(symbolIcon(QStringLiteral("plus")), QStringLiteral("Open File"), column);
    connect(open, &QPushButton::clicked, this, [this] {
        if (!model_) return;
        model_->setFocusedPaneIndex(paneIndex_);
        model_->openDocument();
    });
    if (!others.isEmpty()) {
        heading_ = addLabel(QStringLiteral("Move a tab here"), false);
        QFont font = heading_->font();
        font.setPointSizeF(font.pointSizeF() * 1.3);
        font.setBold(true);
        heading_->setFont(font);
        for (TabItem* tab : others) {
            auto* button = new MoveTabButton(model_, tab, paneIndex_, column);
            buttons_ << button;
            content_->addWidget(button, 0, Qt::AlignHCenter);
        }
        addLabel(QStringLiteral("or open a new file"), true);
        content_->addWidget(open, 0, Qt::AlignHCenter);
        return;
    }
    heading_ = addLabel(QStringLiteral("Scrivola"), false);
    QFont font = heading_->font();
    font.setPointSizeF(font.pointSizeF() * 1.8);
    font.setBold(true);
    heading_->setFont(font);
    addLabel(QStringLiteral("Open a PDF or image to get started"), true);
    content_->addWidget(open, 0, Qt::AlignHCenter);
    addLabel(QStringLiteral("or press Ctrl+O"), true);
}

}  // namespace scrivola
