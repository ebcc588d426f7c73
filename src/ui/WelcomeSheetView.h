#pragma once

#include <QFrame>
#include <QList>
#include <QString>

class QPushButton;

namespace scrivola {

// The first start's welcome: a 520-pixel card over the window's content with the product's
// name, what it does in four feature cards, and "Get Started". It does not block the window.
// Closing it (the button, Escape) emits dismissed(); the window then clears the model's
// showWelcomeSheet, which records "hasSeenWelcome".
class WelcomeSheetView : public QFrame {
    Q_OBJECT
public:
    struct Feature {
        QString icon;
        QString title;
        QString description;
    };
    static constexpr int kWidth = 520;
    static const QList<Feature>& features();

    // Shown over `host`, centred in it and kept centred as it resizes.
    explicit WelcomeSheetView(QWidget* host);
    QPushButton* getStartedButton() const { return getStarted_; }

signals:
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void centreInHost();

    QPushButton* getStarted_ = nullptr;
};

}  // namespace scrivola
