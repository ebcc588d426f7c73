#include "ui/WelcomeSheetView.h"

#include "app/core/Theme.h"
#include "ui/Symbols.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace scrivola {

namespace {

QLabel* label(const QString& text, QWidget* parent, qreal pointScale, bool bold, QPalette::ColorRole role = QPalette::WindowText) {
    auto* result = new QLabel(text, parent);
    QFont font = result->font();
    font.setPointSizeF(font.pointSizeF() * pointScale);
    font.setBold(bold);
    result->setFont(font);
    result->setForegroundRole(role);
    result->setWordWrap(true);
    return result;
}

// One feature: the symbol in the accent colour, the title and the description.
QWidget* featureCard(const WelcomeSheetView::Feature& feature, QWidget* parent) {
    auto* card = new QFrame(parent);
    card->setObjectName(QStringLiteral("featureCard"));
    card->setFrameShape(QFrame::StyledPanel);
    card->setAutoFillBackground(true);
    card->setBackgroundRole(QPalette::Base);
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(6);
    auto* icon = new QLabel(card);
    icon->setPixmap(symbolPixmap(feature.icon, QSize(22, 22), card->palette().color(QPalette::Highlight), card->devicePixelRatioF()));
    layout->addWidget(icon);
    layout->addWidget(label(feature.title, card, 1.0, true));
    // Room for three lines, so that every card of the grid shows its whole description.
    QLabel* description = label(feature.description, card, 0.9, false, QPalette::PlaceholderText);
    description->setMinimumHeight(description->fontMetrics().lineSpacing() * 3);
    layout->addWidget(description);
    layout->addStretch(1);
    return card;
}

}  // namespace

const QList<WelcomeSheetView::Feature>& WelcomeSheetView::features() {
    static const QList<Feature> list = {
        {QStringLiteral("highlighter"), QStringLiteral("PDF Tools"),
         QStringLiteral("View, annotate, add text, highlight, sign, compress, and extract pages.")},
        {QStringLiteral("photo.stack"), QStringLiteral("Image Tools"),
         QStringLiteral("View, rotate, compress, and convert between PNG, JPEG, TIFF, and HEIC.")},
        {QStringLiteral("rectangle.split.2x1"), QStringLiteral("Flexible Workspace"),
         QStringLiteral("Tabs, split views, keyboard shortcuts, and multiple display modes.")},
        {QStringLiteral("lock.shield"), QStringLiteral("Private & Clean"),
         QStringLiteral("No ads, no tracking, no cloud. Your files stay on your computer.")},
    };
    return list;
}

WelcomeSheetView::WelcomeSheetView(QWidget* host) : QFrame(host) {
    setObjectName(QStringLiteral("welcomeSheet"));
    setAccessibleName(QStringLiteral("Welcome to Scrivola"));
    setFixedWidth(kWidth);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setBlurRadius(28);
    shadow->setOffset(0, 6);
    shadow->setColor(QColor(0, 0, 0, 110));
    setGraphicsEffect(shadow);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 28, 32, 24);
    layout->setSpacing(10);
    auto* heading = label(QStringLiteral("Welcome to Scrivola"), this, 1.8, true);
    heading->setAlignment(Qt::AlignCenter);
    auto* subtitle = label(QStringLiteral("PDF & Image Editor for Linux"), this, 1.1, false, QPalette::PlaceholderText);
    subtitle->setAlignment(Qt::AlignCenter);
    auto* line = label(QStringLiteral("One app to replace your PDF editor, image viewer, and annotation tools."), this, 1.0, false);
    line->setAlignment(Qt::AlignCenter);
    layout->addWidget(heading);
    layout->addWidget(subtitle);
    layout->addWidget(line);
    layout->addSpacing(8);

    auto* grid = new QGridLayout;
    grid->setSpacing(10);
    const QList<Feature>& list = features();
    for (int i = 0; i < list.size(); ++i) grid->addWidget(featureCard(list[i], this), i / 2, i % 2);
    layout->addLayout(grid);
    layout->addSpacing(8);

    getStarted_ = new QPushButton(QStringLiteral("Get Started"), this);
    getStarted_->setDefault(true);
    getStarted_->setMinimumWidth(160);
    layout->addWidget(getStarted_, 0, Qt::AlignHCenter);
    connect(getStarted_, &QPushButton::clicked, this, [this] {
        hide();
        emit dismissed();
    });

    host->installEventFilter(this);
}

void WelcomeSheetView::centreInHost() {
    QWidget* host = parentWidget();
    if (!host) return;
    // Wrapped lines make the height depend on the width, which is fixed.
    const int wanted = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(kWidth) : sizeHint().height();
    const int height = std::min(wanted, host->height());
    setGeometry(QRect(QPoint((host->width() - kWidth) / 2, std::max(0, (host->height() - height) / 2)), QSize(kWidth, height)));
    raise();
}

bool WelcomeSheetView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded))
        centreInHost();
    return QFrame::eventFilter(watched, event);
}

void WelcomeSheetView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        getStarted_->click();
        return;
    }
    QFrame::keyPressEvent(event);
}

void WelcomeSheetView::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    centreInHost();
}

}  // namespace scrivola
