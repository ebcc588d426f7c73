#pragma once

#include <QMainWindow>

#include <memory>

class QTabBar;

namespace scrivola {

class AppViewModel;
class DialogPrompter;
class DocumentPreview;
class Pane;

// A window showing one workspace: the tabs of the focused pane and the active tab's current page
// or image. Files dropped onto it are opened.
class WorkspaceWindow : public QMainWindow {
    Q_OBJECT
public:
    // The window takes the model and becomes its prompter.
    explicit WorkspaceWindow(std::unique_ptr<AppViewModel> model, QWidget* parent = nullptr);
    ~WorkspaceWindow() override;

    AppViewModel* model() const { return model_.get(); }
    DocumentPreview* preview() const { return preview_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void observePane();
    void rebuildTabs();
    void showActiveTab();
    void undoOrRedo(bool undo);
    template <typename F> void withNavigation(F&& f);

    std::unique_ptr<DialogPrompter> prompter_;
    std::unique_ptr<AppViewModel> model_;
    QTabBar* tabBar_ = nullptr;
    DocumentPreview* preview_ = nullptr;
    Pane* observedPane_ = nullptr;
    QList<QMetaObject::Connection> paneConnections_;
    bool rebuilding_ = false;
};

}  // namespace scrivola
