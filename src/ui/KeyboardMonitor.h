#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractScrollArea;
class QKeyEvent;
class QMouseEvent;
class QWidget;

namespace scrivola {

class AppViewModel;

// Sees the key presses and left clicks of one window before its widgets and shortcuts do:
// - the arrow keys turn pages, or scroll by 40 points when the document is zoomed by hand
//   (never while a text field has the focus, nor with Alt or Meta held);
// - Ctrl with +, =, −, 1 and 0 zooms; Ctrl+H switches highlighting, Ctrl+T the text tool;
// - a click into a pane moves the pane focus to it.
// It acts on the window's model and, through it, on the active tab's context.
class KeyboardMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr double kArrowScrollAmount = 40;  // points at zoom 1

    // `scrollView` gives the scroll area showing the active document, or null.
    KeyboardMonitor(QWidget* window, AppViewModel* model, std::function<QAbstractScrollArea*()> scrollView);
    ~KeyboardMonitor() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The action a key press stands for, or nothing.
    std::function<void()> actionFor(const QKeyEvent& event) const;
    bool isBesideTheViewer(const QWidget* focus) const;
    void handleArrowKey(int key) const;
    void scrollContent(QAbstractScrollArea& view, int key, double magnification) const;
    void updatePaneFocusFromClick(const QWidget& clicked, const QMouseEvent& event) const;

    QPointer<QWidget> window_;
    QPointer<AppViewModel> model_;
    std::function<QAbstractScrollArea*()> scrollView_;
};

}  // namespace scrivola
