#include "workspace/AppViewModel.h"

#include "pdf/PDFDocumentContext.h"
#include "workspace/RecentDocuments.h"
#include "workspace/WorkspacePrompter.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace scrivola {

AppViewModel::AppViewModel(std::unique_ptr<ServiceContainer> services, const WorkspaceEnvironment& environment, QObject* parent)
    : QObject(parent), services_(std::move(services)), environment_(environment) {
    if (!services_) services_ = std::make_unique<ServiceContainer>();
    services_->setParent(nullptr);
    appendPane();
    if (environment_.settings) {
        showWelcomeSheet_ = !environment_.settings->value(kHasSeenWelcomeKey, false).toBool();
    } else {
        QSettings settings;
        showWelcomeSheet_ = !settings.value(kHasSeenWelcomeKey, false).toBool();
    }
    windowTitle_ = windowTitle();
}

AppViewModel::~AppViewModel() {
    for (auto& pane : panes_) pane->disconnect(this);
    panes_.clear();
}

// ---------------------------------------------------------------- panes and focus

Pane* AppViewModel::appendPane() {
    auto pane = std::make_unique<Pane>();
    Pane* raw = pane.get();
    connect(raw, &Pane::activeTabIDChanged, this, [this, raw] {
        if (raw == focusedPane()) {
            emit activeTabChanged();
            updateWindowTitle();
        }
    });
    connect(raw, &Pane::tabUrlChanged, this, [this] { updateWindowTitle(); });
    connect(raw, &Pane::tabAdded, this, [this](TabItem* tab) { bindToWindow(tab); });
    panes_.push_back(std::move(pane));
    return raw;
}

QList<Pane*> AppViewModel::panes() const {
    QList<Pane*> result;
    for (const auto& pane : panes_) result.append(pane.get());
    return result;
}

Pane* AppViewModel::pane(int index) const {
    if (index < 0 || index >= paneCount()) return nullptr;
    return panes_[size_t(index)].get();
}

void AppViewModel::setFocusedPaneIndex(int index) {
    if (index < 0 || index >= paneCount() || index == focusedPaneIndex_) return;
    focusedPaneIndex_ = index;
    emit focusedPaneIndexChanged(index);
    emit activeTabChanged();
    updateWindowTitle();
}

TabItem* AppViewModel::activeTab() const {
    Pane* p = focusedPane();
    return p ? p->activeTab() : nullptr;
}

int AppViewModel::paneIndexOf(const QUuid& tabID) const {
    for (int i = 0; i < paneCount(); ++i)
        if (panes_[size_t(i)]->contains(tabID)) return i;
    return -1;
}

TabItem* AppViewModel::findTab(const QUuid& tabID) const {
    const int index = paneIndexOf(tabID);
    return index < 0 ? nullptr : pane(index)->tab(tabID);
}

// ---------------------------------------------------------------- split

void AppViewModel::setSplitRatio(double ratio) {
    const double clamped = std::clamp(ratio, kMinimumSplitRatio, kMaximumSplitRatio);
    if (clamped == splitRatio_) return;
    splitRatio_ = clamped;
    emit splitRatioChanged(splitRatio_);
}

void AppViewModel::toggleSplit(SplitDirection direction) {
    if (!isSplitView_) {
        openSplit(direction);
    } else if (splitDirection_ == direction) {
        closeSplitView();
    } else {
        splitDirection_ = direction;
        emit splitDirectionChanged(direction);
    }
}

void AppViewModel::openSplit(SplitDirection direction) {
    if (isSplitView_) return;
    appendPane();
    emit panesChanged();
    if (splitDirection_ != direction) {
        splitDirection_ = direction;
        emit splitDirectionChanged(direction);
    }
    if (splitRatio_ != 0.5) {
        splitRatio_ = 0.5;
        emit splitRatioChanged(splitRatio_);
    }
    isSplitView_ = true;
    emit isSplitViewChanged(true);
}

void AppViewModel::closeSplitView() {
    if (!isSplitView_ || paneCount() < 2) return;
    Pane* first = panes_.front().get();
    Pane* second = panes_.back().get();
    while (!second->isEmpty()) first->addTab(second->takeTab(second->tabAt(0)->id()));

    std::unique_ptr<Pane> removed = std::move(panes_.back());
    panes_.pop_back();
    removed->disconnect(this);
    const bool focusMoved = focusedPaneIndex_ != 0;
    focusedPaneIndex_ = 0;
    isSplitView_ = false;
    emit panesChanged();
    if (focusMoved) emit focusedPaneIndexChanged(0);
    emit isSplitViewChanged(false);
    emit activeTabChanged();
    updateWindowTitle();
}

// ---------------------------------------------------------------- window state

void AppViewModel::setDropTargetActive(bool active) {
    if (isDropTargetActive_ == active) return;
    isDropTargetActive_ = active;
    emit isDropTargetActiveChanged(active);
}

void AppViewModel::setShowWelcomeSheet(bool show) {
    if (!show) {
        if (environment_.settings) {
            environment_.settings->setValue(kHasSeenWelcomeKey, true);
        } else {
            QSettings settings;
            settings.setValue(kHasSeenWelcomeKey, true);
        }
    }
    if (showWelcomeSheet_ == show) return;
    showWelcomeSheet_ = show;
    emit showWelcomeSheetChanged(show);
}

QString AppViewModel::windowTitle() const {
    const TabItem* tab = activeTab();
    if (!tab || !tab->content()) return defaultWindowTitle();
    const QString url = tab->content()->url();
    if (!url.isEmpty()) return QFileInfo(url).fileName();
    return tab->content()->displayName();
}

void AppViewModel::updateWindowTitle() {
    const QString title = windowTitle();
    if (title == windowTitle_) return;
    windowTitle_ = title;
    emit windowTitleChanged(title);
}

// ---------------------------------------------------------------- tabs

SaveResult AppViewModel::showUnsavedChangesAlert(const TabItem& tab) {
    if (!environment_.prompter) return SaveResult::cancel;
    return environment_.prompter->showUnsavedChangesAlert(tab);
}

bool AppViewModel::closeTab(const TabItem& tab) {
    const QUuid id = tab.id();
    if (paneIndexOf(id) < 0) return false;
    if (tab.context()) tab.context()->endPendingEdits();
    if (tab.content() && tab.content()->isModified()) {
        switch (showUnsavedChangesAlert(tab)) {
        case SaveResult::save: {
            // The alert may have run an event loop: find the tab again.
            TabItem* current = findTab(id);
            if (!current || !save(*current)) return false;
            break;
        }
        case SaveResult::dontSave:
            break;
        case SaveResult::cancel:
            return false;
        }
    }
    const int index = paneIndexOf(id);
    if (index < 0) return false;
    pane(index)->closeTab(id);
    return true;
}

bool AppViewModel::closeActiveTab() {
    TabItem* tab = activeTab();
    return tab ? closeTab(*tab) : false;
}

void AppViewModel::moveTab(const TabItem& tab, int paneIndex) {
    if (paneIndex < 0 || paneIndex >= paneCount()) return;
    const int source = paneIndexOf(tab.id());
    if (source < 0 || source == paneIndex) return;
    std::unique_ptr<TabItem> moved = pane(source)->takeTab(tab.id());
    pane(paneIndex)->addTab(std::move(moved));
    setFocusedPaneIndex(paneIndex);
}

std::unique_ptr<TabItem> AppViewModel::removeTabForTransfer(const QString& idText) {
    const QUuid id = QUuid::fromString(idText.trimmed());
    if (id.isNull()) return nullptr;
    for (const auto& pane : panes_)
        if (pane->contains(id)) return pane->takeTab(id);
    return nullptr;
}

TabItem* AppViewModel::adoptTab(std::unique_ptr<TabItem> tab, int paneIndex) {
    if (!tab) return nullptr;
    // A tab already in this window is moved instead of being held twice.
    if (TabItem* existing = findTab(tab->id())) {
        if (pane(paneIndex)) moveTab(*existing, paneIndex);
        return existing;
    }
    Pane* target = pane(paneIndex) ? pane(paneIndex) : focusedPane();
    TabItem* added = target->addTab(std::move(tab));
    if (pane(paneIndex)) setFocusedPaneIndex(paneIndex);
    return added;
}

void AppViewModel::bindToWindow(TabItem* tab) {
    // Exports and prints of the tab are reported in the window that holds it now.
    if (DocumentContext* context = tab ? tab->context() : nullptr) {
        const QUuid id = tab->id();
        disconnect(failureForwarding_.value(id));
        failureForwarding_.insert(id, connect(context, &DocumentContext::failureReported, this, [this, id](const QString& message) {
            if (findTab(id)) emit failureReported(message);
        }));
    }
    // A PDF tab uses the signature store of the window it is in, also after moving between windows.
    if (auto* context = dynamic_cast<PDFDocumentContext*>(tab ? tab->context() : nullptr))
        context->setSignatureStorage(services_->signatureStorage());
}

bool AppViewModel::resolveUnsavedChanges() {
    for (const auto& pane : panes_) {
        for (TabItem* tab : pane->tabs()) {
            if (tab->context()) tab->context()->endPendingEdits();
            if (!tab->content() || !tab->content()->isModified()) continue;
            switch (showUnsavedChangesAlert(*tab)) {
            case SaveResult::save:
                if (!save(*tab)) return false;
                break;
            case SaveResult::dontSave:
                break;
            case SaveResult::cancel:
                return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------- saving

bool AppViewModel::save(TabItem& tab) {
    DocumentContent* content = tab.content();
    if (!content) return false;
    if (tab.context()) tab.context()->endPendingEdits();
    if (!content->canSaveInPlace()) return saveAs(tab);
    try {
        content->save();
    } catch (const std::exception& error) {
        reportFailure(&error, true);
        return false;
    } catch (...) {
        reportFailure(nullptr, true);
        return false;
    }
    return true;
}

bool AppViewModel::saveAs(TabItem& tab) {
    DocumentContent* content = tab.content();
    if (!content || !environment_.prompter) return false;
    if (tab.context()) tab.context()->endPendingEdits();
    const QString location = environment_.prompter->chooseSaveLocation(content->proposedSaveAsName());
    if (location.isEmpty()) return false;
    try {
        content->save(location);
    } catch (const std::exception& error) {
        reportFailure(&error, true);
        return false;
    } catch (...) {
        reportFailure(nullptr, true);
        return false;
    }
    noteRecent(location);
    updateWindowTitle();
    return true;
}

bool AppViewModel::saveActiveDocument() {
    TabItem* tab = activeTab();
    return tab ? save(*tab) : false;
}

bool AppViewModel::saveActiveDocumentAs() {
    TabItem* tab = activeTab();
    return tab ? saveAs(*tab) : false;
}

void AppViewModel::reportFailure(const std::exception* error, bool saving) {
    if (const auto* documentError = dynamic_cast<const DocumentError*>(error)) {
        emit failureReported(documentError->errorDescription());
        return;
    }
    const QString reason = error ? QString::fromUtf8(error->what()) : QStringLiteral("Unknown error");
    emit failureReported((saving ? DocumentError::saveFailed(reason) : DocumentError::loadFailed(reason)).errorDescription());
}

void AppViewModel::noteRecent(const QString& path) {
    if (environment_.recentDocuments) environment_.recentDocuments->note(path);
}

void AppViewModel::noteRecent(const QStringList& paths) {
    if (environment_.recentDocuments) environment_.recentDocuments->note(paths);
}

}  // namespace scrivola
