#pragma once

#include "workspace/WorkspaceDrops.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>


namespace scrivola {

class AppViewModel;
class ContentView;
class DialogPrompter;
class DocumentArea;
class DocumentAreaCache;
class DropZoneView;
class ImageCanvasView;
class ImageDocumentContext;
class PDFDocumentContext;
class PaneView;
class ScrivolaPDFView;

// A window showing one workspace: one pane, or two side by side or one above the other, each
// with its tab bar and the document area of its active tab (a PDF in its page view with its
// sidebars, an image in the pane's canvas with its collection's strip). The "active" accessors
// speak of the focused pane. Files dropped onto it are opened.
class WorkspaceWindow : public QMainWindow {
    Q_OBJECT
public:
    // The window takes the model and becomes its prompter.
    explicit WorkspaceWindow(std::unique_ptr<AppViewModel> model, QWidget* parent = nullptr);
    ~WorkspaceWindow() override;

    AppViewModel* model() const { return model_.get(); }
    // The focused pane's canvas, showing its active image (nothing while a PDF is active).
    ImageCanvasView* imageCanvas() const;
    // The page view of the active tab when it is a PDF, else null.
    ScrivolaPDFView* activePdfView() const;
    // The active tab's page (the viewer and its sidebars), or null when no tab is shown.
    QWidget* activePage() const;
    // The active tab's context when it is a PDF, else null.
    PDFDocumentContext* activePdfContext() const;
    // The active tab's context when it is an image tab, else null.
    ImageDocumentContext* activeImageContext() const;
    // The document area of the focused pane's active tab, or null.
    DocumentArea* activeArea() const;
    // The focused pane's view.
    PaneView* focusedPaneView() const;
    ContentView* contentView() const { return content_; }
    DocumentAreaCache* documentAreas() const { return areas_; }
    // Told the files dropped onto the window or a pane before they open (the application notes
    // them, so that the same files arriving as an open request are recognised).
    void setMarkAsDropped(WorkspaceDrops::MarkAsDropped mark) { markAsDropped_ = std::move(mark); }
    const WorkspaceDrops::MarkAsDropped& markAsDropped() const { return markAsDropped_; }
    // The most document areas the window keeps (an area keeps its place and zoom); those shown
    // longest ago are dropped first.
    static constexpr int kMaxPages = 20;

signals:
    // The first picture of a document reached the screen (page view or image canvas).
    void documentPainted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:

    std::unique_ptr<DialogPrompter> prompter_;
    std::unique_ptr<AppViewModel> model_;
    DocumentAreaCache* areas_ = nullptr;
    ContentView* content_ = nullptr;
    DropZoneView* dropZone_ = nullptr;
    WorkspaceDrops::MarkAsDropped markAsDropped_;
};

}  // namespace scrivola
