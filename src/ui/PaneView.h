#pragma once

#include "ui/DocumentArea.h"
#include "workspace/AppViewModel.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class QStackedWidget;

namespace scrivola {

class AppViewModel;
class DialogPrompter;
class DocumentArea;
class DocumentAreaCache;
class ImageCanvasView;
class Pane;
class PaneTabBar;
class PaneWelcomeView;
class TabItem;

namespace WorkspaceDrops {
struct Payload;
}

// One pane of a window: its tab bar, then the document area of the active tab or the empty-pane
// view. It has its own image canvas, lent to the image tab it shows. A click focuses the pane;
// while the window is split the focused pane is outlined. Files and tab ids dropped onto it
// open or move here.
class PaneView : public QWidget {
    Q_OBJECT
public:
    PaneView(AppViewModel* model, int paneIndex, DocumentAreaCache* areas, DialogPrompter* prompter, QWidget* parent = nullptr);
    ~PaneView() override;

    int paneIndex() const { return paneIndex_; }
    void setPaneIndex(int index);
    Pane* pane() const { return pane_; }
    PaneTabBar* tabBar() const { return tabBar_; }
    PaneWelcomeView* welcomeView() const { return welcome_; }
    ImageCanvasView* imageCanvas() const { return canvas_; }
    // The area shown, or null while the pane is empty.
    DocumentArea* currentArea() const;
    // Whether the focused-pane outline is drawn.
    bool isOutlined() const;

    // A drop: files open in this pane, tab ids move here (from this window or another).
    bool drop(const WorkspaceDrops::Payload& payload);

    // The dynamic property naming a widget's pane index, read by the window's click handling.
    static constexpr const char* kPaneIndexProperty = "scrivolaPaneIndex";

signals:
    // The first picture of a document reached the screen.
    void documentPainted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void observe();
    void showActiveTab();
    // Takes the canvas back from the page it was lent to.
    void reclaimCanvas();
    void attach(DocumentArea* area);

    QPointer<AppViewModel> model_;
    int paneIndex_;
    QPointer<DocumentAreaCache> areas_;
    DialogPrompter* prompter_;
    QPointer<Pane> pane_;
    QList<QMetaObject::Connection> paneConnections_;
    PaneTabBar* tabBar_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    PaneWelcomeView* welcome_ = nullptr;
    ImageCanvasView* canvas_ = nullptr;
    QPointer<DocumentArea> shown_;
    QList<QMetaObject::Connection> areaConnections_;
};

}  // namespace scrivola
