#pragma once

#include "ui/TabListPopover.h"
#include "workspace/AppViewModel.h"

#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class QHBoxLayout;
class QMenu;
class QScrollArea;
class QToolButton;

namespace scrivola {

class AppViewModel;
class Pane;
class PaneTabBar;
class TabItem;

// The kind symbol of a tab's document: "photo" for images, "doc.richtext" for PDFs.
QString tabKindSymbol(const TabItem* tab);

// One tab: the kind symbol, the name (at most 150 pixels, elided), a close button. A press
// selects it, a drag carries its id text, a drop of another tab's id from the same pane moves
// that tab here; other drops are refused and go on to the pane.
class TabItemView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxNameWidth = 150;

    TabItemView(PaneTabBar* bar, TabItem* tab, QWidget* parent);

    TabItem* tab() const { return tab_; }
    bool isActive() const { return active_; }
    void setActive(bool active);
    QToolButton* closeButton() const { return close_; }
    // The name as drawn (elided to the width).
    QString shownName() const;
    // Moves the tab of this pane whose id text is `text` to this tab's place; false when no tab
    // of this pane has that id.
    bool dropTabText(const QString& text);
    // The context menu: "Move to New Window", "Close Tab".
    QMenu* makeContextMenu();
    // Taken out of its bar while its own drag runs; it deletes itself when the drag ends.
    void orphan();
    static TabItemView* dragSource();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool event(QEvent* event) override;

private:
    int sourceIndex(const QString& text) const;

    PaneTabBar* bar_;
    QPointer<TabItem> tab_;
    QToolButton* close_ = nullptr;
    bool active_ = false;
    bool orphaned_ = false;
    QPoint pressPosition_;
    bool pressed_ = false;
};

// The bar above a pane: the tab list button, the scrolling row of tabs, "Open File" and the three
// split buttons.
class PaneTabBar : public QWidget {
    Q_OBJECT
public:
    PaneTabBar(AppViewModel* model, int paneIndex, QWidget* parent = nullptr);
    ~PaneTabBar() override;

    AppViewModel* model() const { return model_; }
    Pane* pane() const { return pane_; }
    int paneIndex() const { return paneIndex_; }
    void setPaneIndex(int index);

    QList<TabItemView*> tabViews() const { return views_; }
    TabItemView* tabView(int index) const { return views_.value(index); }
    int count() const { return int(views_.size()); }
    // The tab list, while shown.
    TabListPopover* tabList() const { return tabList_; }
    void showTabList();
    // The buttons by tooltip: "Show All Tabs", "Open File", "Single View", "Split Horizontal", "Split Vertical".
    QToolButton* button(const QString& toolTip) const;


    // Makes the tab active and focuses this pane.
    void select(TabItem* tab);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void observe();
    void rebuild();
    void updateActive();
    void updateSplitButtons();
    QToolButton* addButton(const QString& symbol, const QString& toolTip);
    void discard(TabItemView* view);

    QPointer<AppViewModel> model_;
    int paneIndex_;
    QPointer<Pane> pane_;
    QList<QMetaObject::Connection> paneConnections_;
    QHBoxLayout* layout_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* row_ = nullptr;
    QHBoxLayout* rowLayout_ = nullptr;
    QList<TabItemView*> views_;
    QList<QToolButton*> buttons_;
    QPointer<TabListPopover> tabList_;
};

}  // namespace scrivola
