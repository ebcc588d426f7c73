#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QSettings;
class QTimer;

namespace scrivola {

class AppViewModel;
class AppearanceSettings;
class RecentDocuments;
class SignatureStorageService;
class TabItem;
class WindowRegistry;
class WorkspacePrompter;
class WorkspaceWindow;

// The application: its windows and their models in the order they were opened, the window that
// was active last (the target of menu commands without a window and of files handed over by a
// second launch), tabs moving into new windows, and quitting. One per application.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    struct Options {
        // Settings store of every window; null for the application's own.
        QSettings* settings = nullptr;
        // The desktop's recently-used list that opened files also go to; empty for none.
        QString desktopRecentFile;
        // Base folder of the signature store; empty for the user's application-data folder.
        QString signatureFolder;
        // Answers every window's questions instead of its dialogs (tests).
        WorkspacePrompter* prompter = nullptr;
        // The appearance the View menu sets; null leaves the items without effect.
        AppearanceSettings* appearance = nullptr;
    };

    explicit AppDelegate(const Options& options, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The delegate of the running application (set while one exists).
    static AppDelegate* shared();

    // --- Windows
    // Opens a window with a fresh workspace (default size, centred, active); tabs waiting to move
    // into a new window go into its first pane.
    WorkspaceWindow* openNewWindow();
    QList<AppViewModel*> viewModels() const;
    QList<WorkspaceWindow*> windows() const;
    WorkspaceWindow* windowFor(const AppViewModel* model) const;
    // The model of the window that was active last; the newest open window when that one is gone.
    AppViewModel* lastFocusedViewModel() const;
    void bringToFront(AppViewModel* model) const;

    WindowRegistry* registry() const { return registry_.get(); }
    RecentDocuments* recentDocuments() const { return recent_.get(); }
    SignatureStorageService* signatureStorage() const { return signatureStorage_.get(); }
    AppearanceSettings* appearance() const { return options_.appearance; }

    // --- Opening
    // Files handed over by a second launch (or the desktop): opened in the last active window,
    // which comes to the front; without a window, in a new one. Files dropped within the last
    // second were handled already and are skipped.
    void openRequestedFiles(const QStringList& paths);
    // The Open dialog without a window: a new window receives the chosen files.
    void openDocumentInNewWindow();
    // Opens a window, and 0.3 s later gives the then last active model to `then` (if any).
    void openNewWindowThen(std::function<void(AppViewModel*)> then);
    // Remembers dropped files for a second.
    void markURLsAsDropped(const QStringList& paths);
    bool wasRecentlyDropped(const QString& path) const { return recentDropURLs_.contains(path); }

    // --- Quitting
    // Walks every modified tab of every window (every pane, shown or not) through the
    // unsaved-changes alert. False when the user cancelled or a chosen save failed.
    bool shouldTerminate();
    // The quit command: the walk, then every window closes without asking again and the
    // application ends. Returns false when the quit was cancelled.
    bool quit();
    // What ends the application once the walk agreed (QCoreApplication::quit by default).
    void setTerminate(std::function<void()> terminate) { terminate_ = std::move(terminate); }

    // Shows a failure of a command in the model's window without blocking it.
    void reportFailure(AppViewModel* model, const QString& message);

signals:
    void lastFocusedViewModelChanged(scrivola::AppViewModel* model);
    void windowsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setLastFocused(AppViewModel* model);
    void placeNewWindow(WorkspaceWindow* window) const;

    Options options_;
    std::unique_ptr<WindowRegistry> registry_;
    std::unique_ptr<RecentDocuments> recent_;
    std::shared_ptr<SignatureStorageService> signatureStorage_;
    QList<QPointer<WorkspaceWindow>> windows_;
    QPointer<AppViewModel> lastFocused_;
    std::vector<std::unique_ptr<TabItem>> pendingTabTransfers_;
    QSet<QString> recentDropURLs_;
    QTimer* recentDropTimer_ = nullptr;
    bool isQuitting_ = false;
    std::function<void()> terminate_;
};

}  // namespace scrivola
