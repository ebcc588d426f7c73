#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace scrivola {

// A bar across the top of the window's document area telling the user why something failed
// (a document that did not open, save, export or print). It never blocks: the window stays
// usable, and the bar stays until closed or replaced by the next message.
class MessageBar : public QFrame {
    Q_OBJECT
public:
    explicit MessageBar(QWidget* parent = nullptr);

    // Shows `message`, replacing any message shown.
    void showMessage(const QString& message);
    // Hides the bar.
    void dismiss();
    QString message() const;
    QToolButton* closeButton() const { return close_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* icon_ = nullptr;
    QLabel* text_ = nullptr;
    QToolButton* close_ = nullptr;
};

}  // namespace scrivola
