#include "app/shell/AppDelegate.h"

#include "app/shell/AppConstants.h"
#include "app/shell/MenuCommands.h"
#include "signature/SignatureStorageService.h"
#include "ui/OpenPanel.h"
#include "ui/WorkspaceWindow.h"
#include "workspace/AppViewModel.h"
#include "workspace/RecentDocuments.h"
#include "workspace/ServiceContainer.h"
#include "workspace/TabItem.h"
#include "workspace/WindowRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QScreen>
#include <QTimer>

#include <utility>

namespace scrivola {

namespace {
QPointer<AppDelegate> sharedDelegate;
}  // namespace

AppDelegate::AppDelegate(const Options& options, QObject* parent)
    : QObject(parent),
      options_(options),
      registry_(std::make_unique<WindowRegistry>()),
      recent_(std::make_unique<RecentDocuments>(options.settings, options.desktopRecentFile)),
      signatureStorage_(std::make_shared<SignatureStorageService>(options.signatureFolder)),
      terminate_([] { QCoreApplication::quit(); }) {
    sharedDelegate = this;
    registry_->setBringToFront([this](AppViewModel* model) { bringToFront(model); });
    registry_->setOpenWindowWithTab([this](std::unique_ptr<TabItem> tab) {
        pendingTabTransfers_.push_back(std::move(tab));
        openNewWindow();
    });
    // Whichever window gets the keyboard focus is the active one, also when the window manager
    // sends no activation (offscreen, some Wayland compositors).
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now) return;
        if (auto* window = qobject_cast<WorkspaceWindow*>(now->window()); window && windows_.contains(window))
            setLastFocused(window->model());
    });
}

AppDelegate::~AppDelegate() {
    // The windows hold models over this delegate's registry and recent list: they go first.
    const QList<QPointer<WorkspaceWindow>> windows = std::exchange(windows_, {});
    for (const QPointer<WorkspaceWindow>& window : windows) {
        if (!window) continue;
        window->removeEventFilter(this);
        disconnect(window, nullptr, this, nullptr);
        delete window.data();
    }
    pendingTabTransfers_.clear();
}

AppDelegate* AppDelegate::shared() { return sharedDelegate.data(); }

// ---------------------------------------------------------------- windows

WorkspaceWindow* AppDelegate::openNewWindow() {
    WorkspaceEnvironment environment;
    environment.registry = registry_.get();
    environment.recentDocuments = recent_.get();
    environment.settings = options_.settings;
    auto model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(signatureStorage_), environment);
    AppViewModel* raw = model.get();
    registry_->add(raw);
    auto* window = new WorkspaceWindow(std::move(model));
    if (options_.prompter) raw->setPrompter(options_.prompter);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setMinimumSize(AppConstants::minWindowWidth, AppConstants::minWindowHeight);
    new MenuCommands(window->menuBar(), this, raw);
    window->installEventFilter(this);
    window->setMarkAsDropped([this](const QStringList& paths) { markURLsAsDropped(paths); });
    windows_.append(window);
    // Queued: while `destroyed` is emitted the window is no longer a WorkspaceWindow, and the list's
    // guards may only be read once they have been cleared.
    connect(window, &QObject::destroyed, this, [this] {
        windows_.removeAll(nullptr);
        emit windowsChanged();
        if (!lastFocused_) emit lastFocusedViewModelChanged(lastFocusedViewModel());
    }, Qt::QueuedConnection);

    // Tabs moved here from another window.
    std::vector<std::unique_ptr<TabItem>> arriving;
    arriving.swap(pendingTabTransfers_);
    for (auto& tab : arriving) raw->adoptTab(std::move(tab));

    placeNewWindow(window);
    window->show();
    window->raise();
    window->activateWindow();
    setLastFocused(raw);
    emit windowsChanged();
    return window;
}

// Centred on the screen under the pointer; a window that would cover another exactly moves
// down and to the right until it does not.
void AppDelegate::placeNewWindow(WorkspaceWindow* window) const {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const QSize size(std::min(AppConstants::defaultWindowWidth, std::max(AppConstants::minWindowWidth, available.width())),
                     std::min(AppConstants::defaultWindowHeight, std::max(AppConstants::minWindowHeight, available.height())));
    QPoint topLeft = available.center() - QPoint(size.width() / 2, size.height() / 2);
    for (bool moved = true; moved;) {
        moved = false;
        for (const QPointer<WorkspaceWindow>& other : windows_)
            if (other && other != window && other->isVisible() && other->pos() == topLeft) {
                topLeft += QPoint(28, 28);
                moved = true;
            }
    }
    window->resize(size);
    window->move(topLeft);
}

QList<AppViewModel*> AppDelegate::viewModels() const { return registry_->models(); }

QList<WorkspaceWindow*> AppDelegate::windows() const {
    QList<WorkspaceWindow*> result;
    for (const QPointer<WorkspaceWindow>& window : windows_)
        if (window) result.append(window.data());
    return result;
}

WorkspaceWindow* AppDelegate::windowFor(const AppViewModel* model) const {
    for (const QPointer<WorkspaceWindow>& window : windows_)
        if (window && window->model() == model) return window.data();
    return nullptr;
}

AppViewModel* AppDelegate::lastFocusedViewModel() const {
    if (lastFocused_ && registry_->contains(lastFocused_)) return lastFocused_.data();
    const QList<AppViewModel*> models = viewModels();
    return models.isEmpty() ? nullptr : models.last();
}

void AppDelegate::setLastFocused(AppViewModel* model) {
    if (lastFocused_ == model) return;
    lastFocused_ = model;
    emit lastFocusedViewModelChanged(model);
}

void AppDelegate::bringToFront(AppViewModel* model) const {
    WorkspaceWindow* window = windowFor(model);
    if (!window) return;
    if (window->isMinimized()) window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    auto* window = qobject_cast<WorkspaceWindow*>(watched);
    if (!window) return false;
    if (event->type() == QEvent::WindowActivate) {
        setLastFocused(window->model());
    } else if (event->type() == QEvent::WindowStateChange) {
        // "Enter Full Screen" becomes "Exit Full Screen", also when the window manager switched.
        if (auto* menus = window->findChild<MenuCommands*>()) menus->update();
    } else if (event->type() == QEvent::Close && isQuitting_) {
        // The quit walk asked about every tab already.
        event->accept();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- opening

void AppDelegate::openRequestedFiles(const QStringList& paths) {
    QStringList fresh;
    for (const QString& path : paths)
        if (!wasRecentlyDropped(path)) fresh << path;
    if (fresh.isEmpty()) return;
    if (AppViewModel* target = lastFocusedViewModel()) {
        target->openFiles(fresh);
        // After the event that brought the request is handled, as the window manager expects.
        QTimer::singleShot(0, this, [this, target = QPointer<AppViewModel>(target)] {
            if (target) bringToFront(target);
        });
        return;
    }
    openNewWindowThen([fresh](AppViewModel* model) { model->openFiles(fresh); });
}

void AppDelegate::openNewWindowThen(std::function<void(AppViewModel*)> then) {
    openNewWindow();
    QTimer::singleShot(AppConstants::newWindowHandOverDelayMs, this, [this, then = std::move(then)] {
        if (AppViewModel* model = lastFocusedViewModel()) then(model);
    });
}

void AppDelegate::openDocumentInNewWindow() {
    const QStringList chosen = OpenPanel::chooseFilesAndFolders(nullptr);
    if (chosen.isEmpty()) return;
    openNewWindowThen([chosen](AppViewModel* model) { model->openFiles(chosen); });
}

void AppDelegate::markURLsAsDropped(const QStringList& paths) {
    for (const QString& path : paths) recentDropURLs_.insert(path);
    if (!recentDropTimer_) {
        recentDropTimer_ = new QTimer(this);
        recentDropTimer_->setSingleShot(true);
        connect(recentDropTimer_, &QTimer::timeout, this, [this] { recentDropURLs_.clear(); });
    }
    recentDropTimer_->start(AppConstants::recentDropMemoryMs);
}

// ---------------------------------------------------------------- quitting

bool AppDelegate::shouldTerminate() {
    // A window closed while another one asks (the alerts are modal to their window only) drops out.
    QList<QPointer<AppViewModel>> models;
    for (AppViewModel* model : viewModels()) models.append(model);
    for (const QPointer<AppViewModel>& model : models) {
        if (!model) continue;
        // The window comes forward while it is asked about, so that the user sees what is meant.
        bool modified = false;
        for (Pane* pane : model->panes())
            for (TabItem* tab : pane->tabs()) modified = modified || (tab->content() && tab->content()->isModified());
        if (!modified) continue;
        bringToFront(model);
        if (!model->resolveUnsavedChanges()) return false;
    }
    return true;
}

bool AppDelegate::quit() {
    if (isQuitting_) return true;
    if (!shouldTerminate()) return false;
    isQuitting_ = true;
    for (WorkspaceWindow* window : windows()) window->close();
    isQuitting_ = false;
    if (terminate_) terminate_();
    return true;
}

void AppDelegate::reportFailure(AppViewModel* model, const QString& message) {
    // The window's message bar shows it.
    if (model) emit model->failureReported(message);
}

}  // namespace scrivola
