#include "app/shell/FirstPaintWatch.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace scrivola {

namespace {

class FirstPaintFilter : public QObject {
public:
    FirstPaintFilter(QWidget* window, std::function<void()> painted) : QObject(window), window_(window), painted_(std::move(painted)) {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || !painted_) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != window_) return false;
        qApp->removeEventFilter(this);
        std::function<void()> painted = std::move(painted_);
        painted_ = nullptr;
        painted();
        deleteLater();
        return false;
    }

private:
    QPointer<QWidget> window_;
    std::function<void()> painted_;
};

}  // namespace

void watchFirstPaint(QWidget* window, std::function<void()> painted) { new FirstPaintFilter(window, std::move(painted)); }

}  // namespace scrivola
