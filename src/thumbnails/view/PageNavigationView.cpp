#include "thumbnails/view/PageNavigationView.h"

#include "workspace/DocumentContent.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace scrivola {

namespace {

QFont monospaced(double points) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(points);
    return font;
}

}  // namespace

PageNavigationView::PageNavigationView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const auto button = [this, layout](QStyle::StandardPixmap icon, const QString& tip, auto action) {
        auto* b = new QToolButton(this);
        b->setIcon(style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, [this, action] {
            if (context_) action(*context_);
        });
        layout->addWidget(b);
        return b;
    };
    first_ = button(QStyle::SP_MediaSkipBackward, QStringLiteral("First Page"), [](DocumentContext& c) { c.goToPage(0); });
    previous_ = button(QStyle::SP_ArrowLeft, QStringLiteral("Previous Page"), [](DocumentContext& c) { c.goToPreviousPage(); });
    display_ = new QPushButton(this);
    display_->setFlat(true);
    display_->setFont(monospaced(12));
    connect(display_, &QPushButton::clicked, this, &PageNavigationView::startEditing);
    field_ = new QLineEdit(this);
    field_->setFont(monospaced(12));
    field_->setAlignment(Qt::AlignCenter);
    field_->setFixedWidth(40);
    field_->hide();
    field_->installEventFilter(this);
    connect(field_, &QLineEdit::returnPressed, this, &PageNavigationView::commitPage);
    auto* slash = new QLabel(QStringLiteral("/"), this);
    QFont small = slash->font();
    small.setPointSizeF(11);
    slash->setFont(small);
    count_ = new QLabel(this);
    count_->setFont(monospaced(12));
    layout->addWidget(display_);
    layout->addWidget(field_);
    layout->addWidget(slash);
    layout->addWidget(count_);
    next_ = button(QStyle::SP_ArrowRight, QStringLiteral("Next Page"), [](DocumentContext& c) { c.goToNextPage(); });
    last_ = button(QStyle::SP_MediaSkipForward, QStringLiteral("Last Page"),
                   [](DocumentContext& c) { c.goToPage(c.totalPages() - 1); });
    setContext(nullptr);
}

void PageNavigationView::setContext(DocumentContext* context) {
    for (const auto& connection : connections_) disconnect(connection);
    connections_.clear();
    endEditing();
    context_ = context;
    if (context) {
        connections_ << connect(context, &DocumentContext::currentPageChanged, this, &PageNavigationView::refresh);
        // Pages come and go with edits.
        connections_ << connect(context, &DocumentContext::documentRevisionChanged, this, &PageNavigationView::refresh);
    }
    setVisible(context != nullptr);
    refresh();
}

void PageNavigationView::setTwoUp(bool twoUp) {
    if (twoUp_ == twoUp) return;
    twoUp_ = twoUp;
    refresh();
}

QString PageNavigationView::displayText() const {
    if (!context_) return {};
    const int current = context_->currentPage();
    if (twoUp_ && current + 1 < context_->totalPages())
        return QStringLiteral("%1\u2013%2").arg(current + 1).arg(current + 2);
    return QString::number(current + 1);
}

void PageNavigationView::refresh() {
    display_->setText(displayText());
    count_->setText(context_ ? QString::number(context_->totalPages()) : QString());
}

void PageNavigationView::startEditing() {
    if (!context_) return;
    field_->setText(QString::number(context_->currentPage() + 1));
    editing_ = true;
    display_->hide();
    field_->show();
    // The field takes the focus once it is shown.
    QTimer::singleShot(0, field_, [this] {
        if (!editing_) return;
        field_->setFocus(Qt::OtherFocusReason);
        field_->selectAll();
    });
}

void PageNavigationView::commitPage() {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = field_->text();
    bool ok = false;
    const int page = number.match(text).hasMatch() ? text.toInt(&ok) : 0;
    if (ok && context_ && page >= 1 && page <= context_->totalPages()) context_->goToPage(page - 1);
    endEditing();
}

void PageNavigationView::endEditing() {
    if (!editing_) return;
    editing_ = false;
    field_->hide();
    display_->show();
    refresh();
}

// Escape and leaving the field close it without going anywhere.
bool PageNavigationView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && editing_) {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            endEditing();
            return true;
        }
        if (event->type() == QEvent::FocusOut) QTimer::singleShot(0, this, &PageNavigationView::endEditing);
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace scrivola
