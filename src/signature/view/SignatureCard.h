#pragma once

#include "signature/StoredSignature.h"

#include <QFrame>
#include <QPixmap>

class QLabel;
class QLineEdit;
class QToolButton;

namespace scrivola {

// One item of the signature sidebar: its picture over its name, highlighted when selected, or a
// name field with confirm and cancel buttons while it is being renamed. The picture is scaled
// once per change of item or width, not on every paint.
class SignatureCard : public QFrame {
    Q_OBJECT
public:
    static constexpr int kPictureHeight = 72;

    explicit SignatureCard(const StoredSignature& item, QWidget* parent = nullptr);

    const StoredSignature& item() const { return item_; }
    void setItem(const StoredSignature& item);
    bool isSelected() const { return isSelected_; }
    void setSelected(bool value);
    bool isRenaming() const { return isRenaming_; }
    // Shows the name field filled with the current name (all of it selected) and focuses it.
    void beginRenaming();
    void endRenaming();
    QLineEdit* renameField() const { return renameField_; }
    QToolButton* confirmButton() const { return confirmButton_; }
    QToolButton* cancelButton() const { return cancelButton_; }
    QLabel* nameLabel() const { return nameLabel_; }
    // The picture as drawn: scaled to the picture area; cacheKey() changes only when rescaled.
    const QPixmap& scaledPicture() const { return scaledPicture_; }

signals:
    void clicked();
    void contextMenuRequested(const QPoint& globalPos);
    void renameConfirmed(const QString& text);
    void renameCancelled();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect pictureRect() const;
    void rescalePicture();

    StoredSignature item_;
    bool isSelected_ = false;
    bool isRenaming_ = false;
    QLabel* nameLabel_;
    QWidget* renameRow_;
    QLineEdit* renameField_;
    QToolButton* confirmButton_;
    QToolButton* cancelButton_;
    QPixmap scaledPicture_;
    QSize scaledFor_;
    qint64 scaledImageKey_ = 0;
};

}  // namespace scrivola
