#pragma once

#include "ui/DocumentArea.h"
#include "workspace/AppViewModel.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace scrivola {

class AppViewModel;
class DialogPrompter;
class DocumentAreaCache;
class Pane;
class PaneView;

// The strip between two panes: 8 pixels with a 1-pixel line in the border colour, the resize
// cursor over it. Dragging moves the model's split ratio by the drag's share of the content's
// extent, kept within 0.2 and 0.8.
class SplitResizeHandle : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThickness = 8;
    static constexpr double kMinRatio = 0.2;
    static constexpr double kMaxRatio = 0.8;

    // `content` is the widget whose width (side by side) or height (stacked) the ratio divides.
    SplitResizeHandle(AppViewModel* model, QWidget* content, QWidget* parent = nullptr);

    bool isVertical() const;
    void updateDirection();
    bool isDragging() const { return dragging_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPointer<AppViewModel> model_;
    QWidget* content_;
    bool dragging_ = false;
    // The ratio and pointer position when the drag began.
    double dragStartRatio_ = 0.5;
    QPointF dragStart_;
};

// A window's content: the first pane alone, or both panes side by side or one above the other
// with the resize handle between them, following the model's split.
class ContentView : public QWidget {
    Q_OBJECT
public:
    ContentView(AppViewModel* model, DocumentAreaCache* areas, DialogPrompter* prompter, QWidget* parent = nullptr);

    QList<PaneView*> paneViews() const;
    PaneView* paneView(int index) const;
    SplitResizeHandle* handle() const { return handle_; }

signals:
    void documentPainted();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void syncPanes();
    void layoutPanes();

    QPointer<AppViewModel> model_;
    QPointer<DocumentAreaCache> areas_;
    DialogPrompter* prompter_;
    QList<QPair<QPointer<Pane>, PaneView*>> views_;
    SplitResizeHandle* handle_ = nullptr;
};

}  // namespace scrivola
