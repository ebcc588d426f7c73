#pragma once

#include "workspace/AppViewModel.h"

#include <QPointer>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

namespace scrivola {

class AppViewModel;

// The cover over a window while files are dragged over it: translucent, a rounded dashed border
// in the accent colour, a pulsing "arrow.down.doc" symbol and "Drop files here". It follows its
// parent's size and lets drags and clicks through to the widgets below. It keeps the model's
// drop-target flag on while files are dragged over any widget of the window, and turns it off
// shortly after the drag leaves the window.

class DropZoneView : public QWidget {
    Q_OBJECT
public:
    DropZoneView(AppViewModel* model, QWidget* parent);
    ~DropZoneView() override;

    // The symbol's current scale in the pulse (1 at rest).
    double pulse() const { return pulse_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setActive(bool active);

    QPointer<AppViewModel> model_;
    QVariantAnimation animation_;
    // Runs between a drag leaving one widget and entering the next.
    QTimer leave_;
    double pulse_ = 1.0;
};

}  // namespace scrivola
