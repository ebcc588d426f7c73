#pragma once

#include <QPointer>
#include <QToolButton>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace scrivola {

// "Keyboard Shortcuts": shows the shortcut overview in a popup under the button.
class TitleBarInfoButton : public QToolButton {
    Q_OBJECT
public:
    explicit TitleBarInfoButton(QWidget* parent = nullptr);
    // The popup while it is open, else null.
    QWidget* popup() const { return popup_; }
    void showShortcuts();

private:
    // Cleared by the popup's own end (it may close itself, or go with the button).
    QPointer<QWidget> popup_;
};

// "Send Feedback": opens the product's support page in the user's browser.
class TitleBarFeedbackButton : public QToolButton {
    Q_OBJECT
public:
    explicit TitleBarFeedbackButton(QWidget* parent = nullptr);
    // How an address is opened (the desktop's browser; tests record it instead).
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

private:
    std::function<bool(const QUrl&)> opener_;
};

// The two buttons side by side in a 72 × 28 area, placed at the trailing end of the window's
// menu bar (a Linux window has no title-bar accessory of its own).
class TitleBarButtons : public QWidget {
    Q_OBJECT
public:
    explicit TitleBarButtons(QWidget* parent = nullptr);
    TitleBarInfoButton* infoButton() const { return info_; }
    TitleBarFeedbackButton* feedbackButton() const { return feedback_; }

private:
    TitleBarInfoButton* info_ = nullptr;
    TitleBarFeedbackButton* feedback_ = nullptr;
};

}  // namespace scrivola
