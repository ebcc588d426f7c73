#pragma once

#include <QMainWindow>
#include <QPointer>

#include <list>
#include <memory>

class QStackedWidget;
class QTabBar;

namespace scrivola {

class AppViewModel;
class DialogPrompter;
class EmptyWindowHint;
class ImageCanvasView;
class ImageDocumentContext;
class PDFDocumentContext;
class PageNavigationView;
class Pane;
class PdfTabPage;
class ScrivolaPDFView;
class TabItem;

// A window showing one workspace: the tabs of the focused pane, a PDF tab in its page view with
// its sidebars, an image tab in the image canvas with its collection's strip. Files dropped onto
// it are opened.
class WorkspaceWindow : public QMainWindow {
    Q_OBJECT
public:
    // The window takes the model and becomes its prompter.
    explicit WorkspaceWindow(std::unique_ptr<AppViewModel> model, QWidget* parent = nullptr);
    ~WorkspaceWindow() override;

    AppViewModel* model() const { return model_.get(); }
    // The canvas showing the active tab's image (it shows nothing while a PDF is active).
    ImageCanvasView* imageCanvas() const { return imageCanvas_; }
    // The page view of the active tab when it is a PDF, else null.
    ScrivolaPDFView* activePdfView() const;
    // The active tab's page (the viewer and its sidebars), or null when no tab is shown.
    QWidget* activePage() const;
    // The active tab's context when it is a PDF, else null.
    PDFDocumentContext* activePdfContext() const;
    // The active tab's context when it is an image tab, else null.
    ImageDocumentContext* activeImageContext() const;
    // The most tab pages kept for tabs not shown (a page view keeps its place and zoom).
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
    void observePane();
    void rebuildTabs();
    void showActiveTab();
    void dropPagesOfDepartedTabs();
    PageNavigationView* navigator();
    // The tab's page, made when first shown.
    QWidget* pageFor(TabItem* tab);
    QWidget* makePage(TabItem* tab);

    std::unique_ptr<DialogPrompter> prompter_;
    std::unique_ptr<AppViewModel> model_;
    QTabBar* tabBar_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    EmptyWindowHint* emptyHint_ = nullptr;
    // One canvas for the window, lent to the image tab shown.
    ImageCanvasView* imageCanvas_ = nullptr;
    PageNavigationView* navigator_ = nullptr;
    QMetaObject::Connection twoUpConnection_;
    // Pages by tab, most recently shown last; a page goes with its tab.
    std::list<std::pair<TabItem*, QPointer<QWidget>>> pages_;
    Pane* observedPane_ = nullptr;
    QList<QMetaObject::Connection> paneConnections_;
    bool rebuilding_ = false;
};

}  // namespace scrivola
