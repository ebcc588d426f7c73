#pragma once

#include "workspace/TabItem.h"

#include <QList>
#include <QObject>
#include <QUuid>

#include <memory>
#include <vector>

namespace scrivola {

// An ordered list of tabs with one active tab. The pane owns its tabs.
class Pane : public QObject {
    Q_OBJECT
public:
    explicit Pane(QObject* parent = nullptr);
    ~Pane() override;

    const QUuid& id() const { return id_; }

    QList<TabItem*> tabs() const;
    int count() const { return int(tabs_.size()); }
    bool isEmpty() const { return tabs_.empty(); }
    // The tab at index, or nullptr when out of range.
    TabItem* tabAt(int index) const;
    // Index of the tab with this id, or -1.
    int indexOf(const QUuid& tabID) const;
    TabItem* tab(const QUuid& tabID) const;
    bool contains(const QUuid& tabID) const { return indexOf(tabID) >= 0; }

    // The active tab's id; null for none.
    const QUuid& activeTabID() const { return activeTabID_; }
    TabItem* activeTab() const { return tab(activeTabID_); }
    int activeIndex() const { return indexOf(activeTabID_); }
    // Makes the tab with this id active; a null id clears the active tab; an id this pane does not hold is ignored.
    void setActiveTabID(const QUuid& tabID);

    bool isSearchBarVisible() const { return isSearchBarVisible_; }
    void setSearchBarVisible(bool visible);

    // Appends the tab and makes it active. Returns the tab, now owned by this pane.
    TabItem* addTab(std::unique_ptr<TabItem> tab);
    // Removes and deletes the tab (no question about unsaved changes). Does nothing for a tab not in this pane.
    void closeTab(const TabItem& tab);
    void closeTab(const QUuid& tabID);
    // Removes the tab and hands it to the caller, repairing the active tab as closeTab does; nullptr if absent.
    std::unique_ptr<TabItem> takeTab(const QUuid& tabID);

    void selectNextTab();
    void selectPreviousTab();
    // Moves the tab at `from` to `to` (an index into the list after the removal); invalid indices do nothing.
    void moveTab(int from, int to);

signals:
    void tabsChanged();
    void tabAdded(scrivola::TabItem* tab);
    void activeTabIDChanged();
    void isSearchBarVisibleChanged(bool visible);
    // The file location of a tab's document changed (e.g. after Save As).
    void tabUrlChanged(scrivola::TabItem* tab);

private:
    QUuid id_;
    std::vector<std::unique_ptr<TabItem>> tabs_;
    QUuid activeTabID_;
    bool isSearchBarVisible_ = false;
};

}  // namespace scrivola
