#pragma once

#include "workspace/Pane.h"
#include "workspace/ServiceContainer.h"
#include "workspace/TabItem.h"
#include "workspace/WorkspaceTypes.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QSettings;

namespace scrivola {

class RecentDocuments;
class WindowRegistry;
class WorkspacePrompter;

// What a window model uses from the application around it. None of it is owned; each may be null:
// without a prompter every question is answered cancel (nothing is closed, saved or opened), without a
// registry other windows are not searched, without recent documents nothing is noted, without settings
// the application's default settings are used.
struct WorkspaceEnvironment {
    WorkspacePrompter* prompter = nullptr;
    WindowRegistry* registry = nullptr;
    RecentDocuments* recentDocuments = nullptr;
    QSettings* settings = nullptr;
};

// The workspace of one window: one pane, or two while split, each an ordered list of tabs.
// The active tab always means the active tab of the focused pane.
class AppViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(int focusedPaneIndex READ focusedPaneIndex WRITE setFocusedPaneIndex NOTIFY focusedPaneIndexChanged)
    Q_PROPERTY(bool isSplitView READ isSplitView NOTIFY isSplitViewChanged)
    Q_PROPERTY(double splitRatio READ splitRatio WRITE setSplitRatio NOTIFY splitRatioChanged)
    Q_PROPERTY(bool isDropTargetActive READ isDropTargetActive WRITE setDropTargetActive NOTIFY isDropTargetActiveChanged)
    Q_PROPERTY(bool showWelcomeSheet READ showWelcomeSheet WRITE setShowWelcomeSheet NOTIFY showWelcomeSheetChanged)
public:
    static constexpr double kMinimumSplitRatio = 0.2;
    static constexpr double kMaximumSplitRatio = 0.8;
    static inline const QString kHasSeenWelcomeKey = QStringLiteral("hasSeenWelcome");

    explicit AppViewModel(std::unique_ptr<ServiceContainer> services, const WorkspaceEnvironment& environment = {},
                          QObject* parent = nullptr);
    ~AppViewModel() override;

    ServiceContainer* services() const { return services_.get(); }
    const WorkspaceEnvironment& environment() const { return environment_; }
    void setPrompter(WorkspacePrompter* prompter) { environment_.prompter = prompter; }
    void setRegistry(WindowRegistry* registry) { environment_.registry = registry; }
    void setRecentDocuments(RecentDocuments* recent) { environment_.recentDocuments = recent; }

    // --- Panes and focus
    QList<Pane*> panes() const;
    int paneCount() const { return int(panes_.size()); }
    Pane* pane(int index) const;
    int focusedPaneIndex() const { return focusedPaneIndex_; }
    // Focuses the pane at index; an index out of range is ignored.
    void setFocusedPaneIndex(int index);
    Pane* focusedPane() const { return pane(focusedPaneIndex_); }
    TabItem* activeTab() const;
    // The pane holding the tab with this id, and its index (-1 for none).
    int paneIndexOf(const QUuid& tabID) const;
    TabItem* findTab(const QUuid& tabID) const;

    // --- Split
    bool isSplitView() const { return isSplitView_; }
    SplitDirection splitDirection() const { return splitDirection_; }
    double splitRatio() const { return splitRatio_; }
    // Kept within kMinimumSplitRatio..kMaximumSplitRatio.
    void setSplitRatio(double ratio);
    void toggleSplit(SplitDirection direction);
    void openSplit(SplitDirection direction);
    void closeSplitView();

    // --- Window state
    bool isDropTargetActive() const { return isDropTargetActive_; }
    void setDropTargetActive(bool active);
    bool showWelcomeSheet() const { return showWelcomeSheet_; }
    // Hiding the sheet records in the settings that it has been seen.
    void setShowWelcomeSheet(bool show);
    // The last path component of the active document, its display name without a location, or "Scrivola".
    QString windowTitle() const;

    // --- Tabs
    // Closes the tab, asking first when it has unsaved changes. Returns whether it was closed.
    bool closeTab(const TabItem& tab);
    bool closeActiveTab();
    // Moves the tab to the pane at paneIndex, makes it active there and focuses that pane.
    void moveTab(const TabItem& tab, int paneIndex);
    // Takes the tab whose id has this text form (upper-case, no braces) out of the window; nullptr for none.
    std::unique_ptr<TabItem> removeTabForTransfer(const QString& idText);
    // Adds a tab that comes from another window to the pane at paneIndex (the focused pane when out of range).
    TabItem* adoptTab(std::unique_ptr<TabItem> tab, int paneIndex = -1);
    SaveResult showUnsavedChangesAlert(const TabItem& tab);
    // Asks about every modified tab in order, saving where told; false when the user cancelled or a save failed.
    bool resolveUnsavedChanges();

    // --- Saving (a failure leaves the document modified and is reported through failureReported).
    // Return whether it was written.
    bool saveActiveDocument();
    bool saveActiveDocumentAs();
    bool save(TabItem& tab);
    bool saveAs(TabItem& tab);

    // --- Opening (OpenDocuments.cpp)
    // Opens one file, or activates the tab already showing it (here or in another window). Returns that tab,
    // or nullptr when nothing could be opened (reported through failureReported, unless the user cancelled
    // the password of a protected PDF).
    TabItem* openFile(const QString& path);
    // Opens files and folders (one level deep): PDFs one tab each, then the images (one image: a tab; more: one collection).
    void openFiles(const QStringList& paths);
    // Opens the images as one collection tab.
    TabItem* openImageCollection(const QStringList& paths);
    // Runs the open dialog and opens what was chosen.
    void openDocument();
    // The tab of this window showing the file (a collection of several images never does), or nullptr.
    TabItem* tabShowingFile(const QString& path) const;

signals:
    void panesChanged();
    void focusedPaneIndexChanged(int index);
    void isSplitViewChanged(bool isSplit);
    void splitDirectionChanged(scrivola::SplitDirection direction);
    void splitRatioChanged(double ratio);
    void isDropTargetActiveChanged(bool active);
    void showWelcomeSheetChanged(bool show);
    // The focused pane's active tab changed (or the focus moved to another pane).
    void activeTabChanged();
    void windowTitleChanged(const QString& title);
    // Opening, saving, exporting or printing a document of this window failed; `message` is
    // what the user is told (the DocumentError's description).
    void failureReported(const QString& message);

private:
    Pane* appendPane();
    // Tells failureReported the error's description; other exceptions as saveFailed or loadFailed.
    void reportFailure(const std::exception* error, bool saving);
    // A PDF tab for the file, asking for its password while it needs one; null when the user cancels.
    std::unique_ptr<TabItem> makeProtectedPDFTab(const QString& path);
    void noteRecent(const QString& path);
    void noteRecent(const QStringList& paths);
    void updateWindowTitle();
    void bindToWindow(TabItem* tab);
    bool activateExisting(TabItem* tab);

    std::unique_ptr<ServiceContainer> services_;
    WorkspaceEnvironment environment_;
    std::vector<std::unique_ptr<Pane>> panes_;
    int focusedPaneIndex_ = 0;
    bool isSplitView_ = false;
    SplitDirection splitDirection_ = SplitDirection::horizontal;
    double splitRatio_ = 0.5;
    bool isDropTargetActive_ = false;
    bool showWelcomeSheet_ = false;
    QString windowTitle_;
    // The forwarding of each tab's context failures to failureReported, by tab.
    QHash<QUuid, QMetaObject::Connection> failureForwarding_;
};

}  // namespace scrivola
