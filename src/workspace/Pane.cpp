#include "workspace/Pane.h"

#include <algorithm>

namespace scrivola {

Pane::Pane(QObject* parent) : QObject(parent), id_(QUuid::createUuid()) {}

Pane::~Pane() {
    // Close the tabs while the pane is still whole, last first.
    while (!tabs_.empty()) tabs_.pop_back();
}

QList<TabItem*> Pane::tabs() const {
    QList<TabItem*> result;
    result.reserve(count());
    for (const auto& tab : tabs_) result.append(tab.get());
    return result;
}

TabItem* Pane::tabAt(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return tabs_[size_t(index)].get();
}

int Pane::indexOf(const QUuid& tabID) const {
    if (tabID.isNull()) return -1;
    for (int i = 0; i < count(); ++i)
        if (tabs_[size_t(i)]->id() == tabID) return i;
    return -1;
}

TabItem* Pane::tab(const QUuid& tabID) const { return tabAt(indexOf(tabID)); }

void Pane::setActiveTabID(const QUuid& tabID) {
    if (!tabID.isNull() && !contains(tabID)) return;
    if (activeTabID_ == tabID) return;
    activeTabID_ = tabID;
    emit activeTabIDChanged();
}

void Pane::setSearchBarVisible(bool visible) {
    if (isSearchBarVisible_ == visible) return;
    isSearchBarVisible_ = visible;
    emit isSearchBarVisibleChanged(visible);
}

TabItem* Pane::addTab(std::unique_ptr<TabItem> tab) {
    if (!tab) return nullptr;
    // A tab already here is only activated: one tab object never sits twice in a pane.
    if (TabItem* existing = this->tab(tab->id())) {
        setActiveTabID(existing->id());
        return existing;
    }
    TabItem* raw = tab.get();
    raw->setParent(nullptr);
    if (DocumentContent* content = raw->content())
        connect(content, &DocumentContent::urlChanged, this, [this, raw] { emit tabUrlChanged(raw); });
    tabs_.push_back(std::move(tab));
    emit tabsChanged();
    emit tabAdded(raw);
    setActiveTabID(raw->id());
    return raw;
}

std::unique_ptr<TabItem> Pane::takeTab(const QUuid& tabID) {
    const int index = indexOf(tabID);
    if (index < 0) return nullptr;
    std::unique_ptr<TabItem> taken = std::move(tabs_[size_t(index)]);
    tabs_.erase(tabs_.begin() + index);
    if (DocumentContent* content = taken->content()) disconnect(content, nullptr, this, nullptr);
    emit tabsChanged();
    if (activeTabID_ == tabID) {
        if (tabs_.empty())
            setActiveTabID(QUuid());
        else
            setActiveTabID(tabs_[size_t(std::min(index, count() - 1))]->id());
    }
    return taken;
}

void Pane::closeTab(const TabItem& tab) { closeTab(tab.id()); }

void Pane::closeTab(const QUuid& tabID) {
    std::unique_ptr<TabItem> closed = takeTab(tabID);
    // Deleted here, after the pane has settled its list and active tab.
}

void Pane::selectNextTab() {
    const int i = activeIndex();
    if (i >= 0 && i < count() - 1) setActiveTabID(tabs_[size_t(i + 1)]->id());
}

void Pane::selectPreviousTab() {
    const int i = activeIndex();
    if (i >= 1) setActiveTabID(tabs_[size_t(i - 1)]->id());
}

void Pane::moveTab(int from, int to) {
    if (from < 0 || to < 0 || from == to || from >= count() || to >= count()) return;
    std::unique_ptr<TabItem> moved = std::move(tabs_[size_t(from)]);
    tabs_.erase(tabs_.begin() + from);
    tabs_.insert(tabs_.begin() + to, std::move(moved));
    emit tabsChanged();
}

}  // namespace scrivola
