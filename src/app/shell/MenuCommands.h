#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace scrivola {

class AppDelegate;
class AppViewModel;
class DocumentContext;
class ImageDocumentContext;
class PDFDocumentContext;
class TabItem;

// The menu bar of a window: File, Edit, View, Tools, Window and Help, each item with its shortcut
// and its enable rule. Items act on the window's model and, through it, on the active tab of the
// focused pane. Enable rules and ticked titles follow the model, the active tab and its context
// as they change, so shortcuts obey them too. Without a model (no window) only the items that
// open a window first (New Window, Open..., Open Recent) and those needing nothing act.
class MenuCommands : public QObject {
    Q_OBJECT
public:
    // The current state the rules look at.
    struct State {
        AppViewModel* model = nullptr;
        TabItem* tab = nullptr;
        DocumentContext* context = nullptr;
        PDFDocumentContext* pdf = nullptr;
        ImageDocumentContext* image = nullptr;
    };

    // bar: filled with the menus (the object lives as long as the bar); delegate may be null.
    MenuCommands(QMenuBar* bar, AppDelegate* delegate, AppViewModel* model);
    ~MenuCommands() override;

    // The item whose title is `title` (for ticked items, without the tick and its spaces; for
    // Undo and Redo, the plain verb), or null.
    QAction* action(const QString& title) const;
    // Brings enable rules and titles up to the current state.
    void update();
    State state() const;

private:
    using Rule = std::function<bool(const State&)>;
    using Title = std::function<QString(const State&)>;
    // Adds an item with its base title, shortcuts, enable rule and action.
    QAction* add(QMenu* menu, const QString& title, const QList<QKeySequence>& keys, Rule enabled,
                 std::function<void(const State&)> act, Title dynamicTitle = {});
    void buildFileMenu();
    void buildEditMenu();
    void buildViewMenu();
    void buildToolsMenu();
    void buildWindowMenu();
    void buildHelpMenu();
    void fillRecentMenu(QMenu* menu);
    void share(const State& state);
    void toggleFullScreen();
    // Follows the active tab's context and document, whose changes alter the rules.
    void observeActiveTab();
    void scheduleUpdate();

    struct Item {
        QAction* action;
        QString title;
        Rule enabled;
        Title dynamicTitle;
    };
    QMenuBar* bar_;
    QPointer<AppDelegate> delegate_;
    QPointer<AppViewModel> model_;
    std::vector<Item> items_;
    QList<QMetaObject::Connection> tabConnections_;
    bool updateScheduled_ = false;
};

}  // namespace scrivola
