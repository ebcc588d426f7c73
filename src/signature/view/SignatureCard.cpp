// A card of the signature sidebar: picture, name, selection highlight and the rename field.

#include "signature/view/SignatureCard.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace scrivola {

namespace {

constexpr int kInset = 8;

}  // namespace

SignatureCard::SignatureCard(const StoredSignature& item, QWidget* parent) : QFrame(parent), item_(item) {
    setCursor(Qt::PointingHandCursor);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kInset, kInset + kPictureHeight + 6, kInset, kInset);
    layout->setSpacing(4);

    nameLabel_ = new QLabel(this);
    nameLabel_->setAlignment(Qt::AlignCenter);
    nameLabel_->setTextFormat(Qt::PlainText);
    layout->addWidget(nameLabel_);

    renameRow_ = new QWidget(this);
    auto* row = new QHBoxLayout(renameRow_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    renameField_ = new QLineEdit(renameRow_);
    renameField_->setPlaceholderText(QStringLiteral("Name"));
    renameField_->installEventFilter(this);
    confirmButton_ = new QToolButton(renameRow_);
    confirmButton_->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    confirmButton_->setToolTip(QStringLiteral("Rename"));
    confirmButton_->setAutoRaise(true);
    cancelButton_ = new QToolButton(renameRow_);
    cancelButton_->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    cancelButton_->setToolTip(QStringLiteral("Cancel"));
    cancelButton_->setAutoRaise(true);
    row->addWidget(renameField_, 1);
    row->addWidget(confirmButton_);
    row->addWidget(cancelButton_);
    layout->addWidget(renameRow_);
    renameRow_->hide();

    connect(renameField_, &QLineEdit::returnPressed, this, [this] { emit renameConfirmed(renameField_->text()); });
    connect(confirmButton_, &QToolButton::clicked, this, [this] { emit renameConfirmed(renameField_->text()); });
    connect(cancelButton_, &QToolButton::clicked, this, &SignatureCard::renameCancelled);
    setItem(item);
}

void SignatureCard::setItem(const StoredSignature& item) {
    item_ = item;
    nameLabel_->setText(item.name);
    setToolTip(item.name);
    if (item.image.cacheKey() != scaledImageKey_) rescalePicture();
    update();
}

void SignatureCard::setSelected(bool value) {
    if (isSelected_ == value) return;
    isSelected_ = value;
    update();
}

void SignatureCard::beginRenaming() {
    isRenaming_ = true;
    renameField_->setText(item_.name);
    renameField_->selectAll();
    nameLabel_->hide();
    renameRow_->show();
    renameField_->setFocus(Qt::OtherFocusReason);
}

void SignatureCard::endRenaming() {
    isRenaming_ = false;
    renameRow_->hide();
    nameLabel_->show();
}

QRect SignatureCard::pictureRect() const {
    return QRect(kInset, kInset, std::max(0, width() - 2 * kInset), kPictureHeight);
}

void SignatureCard::rescalePicture() {
    const QRect area = pictureRect().adjusted(6, 6, -6, -6);
    scaledFor_ = area.size();
    scaledImageKey_ = item_.image.cacheKey();
    scaledPicture_ = QPixmap();
    if (item_.image.isNull() || area.isEmpty()) return;
    const qreal ratio = devicePixelRatioF();
    QImage scaled = item_.image.scaled(area.size() * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    scaledPicture_ = QPixmap::fromImage(std::move(scaled));
    scaledPicture_.setDevicePixelRatio(ratio);
}

void SignatureCard::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (pictureRect().adjusted(6, 6, -6, -6).size() != scaledFor_) rescalePicture();
}

void SignatureCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF frame = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(QPen(isSelected_ ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid), isSelected_ ? 2.0 : 1.0));
    QColor fill = pal.color(QPalette::Highlight);
    fill.setAlphaF(isSelected_ ? 0.18f : 0.0f);
    painter.setBrush(fill);
    painter.drawRoundedRect(frame, 8, 8);

    // Pictures are mostly black ink on transparent: show them on white in every theme.
    const QRect area = pictureRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(area, 6, 6);
    if (!scaledPicture_.isNull()) {
        const QSizeF size = scaledPicture_.deviceIndependentSize();
        const QPointF topLeft(area.center().x() + 0.5 - size.width() / 2, area.center().y() + 0.5 - size.height() / 2);
        painter.drawPixmap(topLeft, scaledPicture_);
    }
}

void SignatureCard::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !isRenaming_) {
        emit clicked();
        return;
    }
    QFrame::mousePressEvent(event);
}

void SignatureCard::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
}

bool SignatureCard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == renameField_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        emit renameCancelled();
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace scrivola
