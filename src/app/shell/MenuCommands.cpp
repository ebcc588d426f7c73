#include "app/shell/MenuCommands.h"

#include "app/core/AppearanceSettings.h"
#include "app/shell/AppConstants.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/DesktopShare.h"
#include "image/ImageDocumentContext.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "ui/WorkspaceWindow.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/RecentDocuments.h"
#include "workspace/TabItem.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QUrl>

namespace scrivola {

namespace {

const QString kTick = QStringLiteral("✓ ");
const QString kNoTick = QStringLiteral("  ");

QString ticked(bool on, const QString& title) { return (on ? kTick : kNoTick) + title; }

bool hasTab(const MenuCommands::State& s) { return s.tab != nullptr; }
bool hasContext(const MenuCommands::State& s) { return s.context != nullptr; }
bool isPdf(const MenuCommands::State& s) { return s.pdf != nullptr; }
bool hasModel(const MenuCommands::State& s) { return s.model != nullptr; }
bool always(const MenuCommands::State&) { return true; }

QList<QKeySequence> keys(std::initializer_list<QKeySequence> list) { return QList<QKeySequence>(list); }

}  // namespace

MenuCommands::MenuCommands(QMenuBar* bar, AppDelegate* delegate, AppViewModel* model)
    : QObject(bar), bar_(bar), delegate_(delegate), model_(model) {
    buildFileMenu();
    buildEditMenu();
    buildViewMenu();
    buildToolsMenu();
    buildWindowMenu();
    buildHelpMenu();
    if (model_) {
        connect(model_, &AppViewModel::activeTabChanged, this, &MenuCommands::observeActiveTab);
        connect(model_, &AppViewModel::panesChanged, this, &MenuCommands::observeActiveTab);
        connect(model_, &AppViewModel::isSplitViewChanged, this, &MenuCommands::scheduleUpdate);
    }
    if (delegate_ && delegate_->appearance())
        connect(delegate_->appearance(), &AppearanceSettings::appearanceModeChanged, this, &MenuCommands::update);
    observeActiveTab();
}

MenuCommands::~MenuCommands() = default;

MenuCommands::State MenuCommands::state() const {
    State s;
    s.model = model_.data();
    s.tab = s.model ? s.model->activeTab() : nullptr;
    s.context = s.tab ? s.tab->context() : nullptr;
    s.pdf = qobject_cast<PDFDocumentContext*>(s.context);
    s.image = qobject_cast<ImageDocumentContext*>(s.context);
    return s;
}

QAction* MenuCommands::add(QMenu* menu, const QString& title, const QList<QKeySequence>& shortcuts, Rule enabled,
                           std::function<void(const State&)> act, Title dynamicTitle) {
    QAction* action = menu->addAction(title);
    action->setShortcuts(shortcuts);
    // Two windows' menus hold the same keys: each answers only in its own window.
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, enabled, act = std::move(act)] {
        // The state may have changed since the rules were last applied (a deferred notification).
        const State s = state();
        if (enabled(s)) act(s);
    });
    items_.push_back({action, title, std::move(enabled), std::move(dynamicTitle)});
    return action;
}

QAction* MenuCommands::action(const QString& title) const {
    for (const Item& item : items_)
        if (item.title == title) return item.action;
    return nullptr;
}

void MenuCommands::scheduleUpdate() {
    // Several changes of one user action make one update.
    if (updateScheduled_) return;
    updateScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        updateScheduled_ = false;
        update();
    });
}

void MenuCommands::update() {
    const State s = state();
    for (const Item& item : items_) {
        item.action->setEnabled(item.enabled(s));
        if (item.dynamicTitle) item.action->setText(item.dynamicTitle(s));
    }
}

void MenuCommands::observeActiveTab() {
    for (const auto& c : tabConnections_) disconnect(c);
    tabConnections_.clear();
    const State s = state();
    if (s.context) {
        tabConnections_ << connect(s.context, &DocumentContext::canUndoChanged, this, &MenuCommands::update);
        tabConnections_ << connect(s.context, &DocumentContext::canRedoChanged, this, &MenuCommands::update);
    }
    if (s.tab && s.tab->content()) {
        tabConnections_ << connect(s.tab->content(), &DocumentContent::urlChanged, this, &MenuCommands::scheduleUpdate);
        tabConnections_ << connect(s.tab, &TabItem::contextChanged, this, &MenuCommands::observeActiveTab);
    }
    if (s.pdf) {
        tabConnections_ << connect(s.pdf, &PDFDocumentContext::viewChanged, this, &MenuCommands::scheduleUpdate);
        tabConnections_ << connect(s.pdf, &PDFDocumentContext::toolModesChanged, this, &MenuCommands::scheduleUpdate);
        tabConnections_ << connect(s.pdf, &PDFDocumentContext::panelsChanged, this, &MenuCommands::scheduleUpdate);
        tabConnections_ << connect(s.pdf->textTool(), &PDFTextBoxTool::changed, this, &MenuCommands::scheduleUpdate);
    }
    update();
}

// ---------------------------------------------------------------- File

void MenuCommands::buildFileMenu() {
    QMenu* file = bar_->addMenu(QStringLiteral("&File"));
    add(file, QStringLiteral("New Window"), keys({QKeySequence(Qt::CTRL | Qt::Key_N)}),
        [this](const State&) { return delegate_ != nullptr; }, [this](const State&) { delegate_->openNewWindow(); });
    add(file, QStringLiteral("Open..."), keys({QKeySequence(Qt::CTRL | Qt::Key_O)}), always, [this](const State& s) {
        if (s.model) s.model->openDocument();
        else if (delegate_) delegate_->openDocumentInNewWindow();
    });
    QMenu* recent = file->addMenu(QStringLiteral("Open Recent"));
    connect(recent, &QMenu::aboutToShow, this, [this, recent] { fillRecentMenu(recent); });
    fillRecentMenu(recent);
    file->addSeparator();
    add(file, QStringLiteral("Close Tab"), keys({QKeySequence(Qt::CTRL | Qt::Key_W)}), hasTab,
        [](const State& s) { s.model->closeActiveTab(); });
    file->addSeparator();
    add(file, QStringLiteral("Save"), keys({QKeySequence(Qt::CTRL | Qt::Key_S)}), hasTab,
        [](const State& s) { s.model->saveActiveDocument(); });
    // Set by hand: the platform's SaveAs sequence is empty on plain X11.
    add(file, QStringLiteral("Save As..."), keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}), hasTab,
        [](const State& s) { s.model->saveActiveDocumentAs(); });
    file->addSeparator();
    // The selected pages or images, or else the current one.
    add(file, QStringLiteral("Export..."), keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E)}), hasContext,
        [](const State& s) { s.context->exportItems(s.context->exportTargets()); });
    add(file, QStringLiteral("Compress..."), {}, hasContext, [](const State& s) {
        if (s.pdf) s.pdf->setCompressSheetVisible(true);
        if (s.image) s.image->setCompressSheetVisible(true);
    });
    file->addSeparator();
    // A document not yet written anywhere has no file to hand over.
    add(file, QStringLiteral("Share..."), {}, [](const State& s) { return s.tab && s.tab->content() && !s.tab->content()->url().isEmpty(); },
        [this](const State& s) { share(s); });
    file->addSeparator();
    add(file, QStringLiteral("Print..."), keys({QKeySequence(Qt::CTRL | Qt::Key_P)}), hasContext, [](const State& s) {
        if (s.image) s.image->printImage();
        else if (s.pdf) s.pdf->printDocument();
    });
    file->addSeparator();
    add(file, QStringLiteral("Quit"), keys({QKeySequence(Qt::CTRL | Qt::Key_Q)}), always, [this](const State&) {
        if (delegate_) delegate_->quit();
        else QApplication::closeAllWindows();
    });
}

void MenuCommands::fillRecentMenu(QMenu* menu) {
    menu->clear();
    RecentDocuments* recent = delegate_ ? delegate_->recentDocuments()
                                        : (model_ ? model_->environment().recentDocuments : nullptr);
    const QStringList paths = recent ? recent->list() : QStringList();
    if (paths.isEmpty()) {
        menu->addAction(QStringLiteral("No Recent Files"))->setEnabled(false);
        return;
    }
    for (const QString& path : paths) {
        QAction* item = menu->addAction(QFileInfo(path).fileName());
        item->setToolTip(path);
        item->setStatusTip(path);
        connect(item, &QAction::triggered, this, [this, path] {
            if (model_) model_->openFile(path);
            else if (delegate_) delegate_->openNewWindowThen([path](AppViewModel* model) { model->openFile(path); });
        });
    }
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Clear Menu")), &QAction::triggered, this, [recent] { recent->clear(); });
}

void MenuCommands::share(const State& s) {
    const QString path = s.tab->content()->url();
    const QString name = s.tab->content()->displayName();
    QPointer<AppViewModel> model = s.model;
    QPointer<AppDelegate> delegate = delegate_;
    auto* sharer = new DesktopShare(this);
    sharer->share(path, bar_->window(), [sharer, model, delegate, name](bool handed) {
        sharer->deleteLater();
        if (!handed && delegate) delegate->reportFailure(model, QStringLiteral("\"%1\" could not be shared.").arg(name));
    });
}

// ---------------------------------------------------------------- Edit

void MenuCommands::buildEditMenu() {
    QMenu* edit = bar_->addMenu(QStringLiteral("&Edit"));
    // The items name the step they would take back or do again: "Undo Move Text Box".
    const auto named = [](const QString& verb, const QString& step) { return step.isEmpty() ? verb : verb + QLatin1Char(' ') + step; };
    add(edit, QStringLiteral("Undo"), keys({QKeySequence(Qt::CTRL | Qt::Key_Z)}),
        [](const State& s) { return s.context && s.context->canUndo(); }, [](const State& s) { s.context->undo(); },
        [named](const State& s) { return named(QStringLiteral("Undo"), s.context ? s.context->undoActionName() : QString()); });
    add(edit, QStringLiteral("Redo"), keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}),
        [](const State& s) { return s.context && s.context->canRedo(); }, [](const State& s) { s.context->redo(); },
        [named](const State& s) { return named(QStringLiteral("Redo"), s.context ? s.context->redoActionName() : QString()); });
    // Undo names change without a notice of canUndo (a new step after another): fresh on opening.
    connect(edit, &QMenu::aboutToShow, this, &MenuCommands::update);
    edit->addSeparator();
    // The shown image of an image tab; the selected pages (or the current one) of a PDF.
    const auto rotate = [](const State& s, int degrees) {
        if (s.image) s.image->rotateImageAt(s.image->currentPage(), degrees);
        else if (s.pdf) s.pdf->rotatePages(degrees);
    };
    add(edit, QStringLiteral("Rotate Left"), keys({QKeySequence(Qt::CTRL | Qt::Key_L)}), hasContext,
        [rotate](const State& s) { rotate(s, -90); });
    add(edit, QStringLiteral("Rotate Right"), keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L)}), hasContext,
        [rotate](const State& s) { rotate(s, 90); });
    edit->addSeparator();
    add(edit, QStringLiteral("Find..."), keys({QKeySequence(Qt::CTRL | Qt::Key_F)}), isPdf, [](const State& s) {
        PDFSearchSession* search = s.pdf->search();
        if (search->isSidebarVisible()) search->closeSearch();
        else search->openSearch();
    });
    edit->addSeparator();
    add(edit, QStringLiteral("Select All Pages"), keys({QKeySequence(Qt::CTRL | Qt::Key_A)}), isPdf, [](const State& s) {
        std::set<int> all;
        for (int i = 0; i < s.pdf->totalPages(); ++i) all.insert(i);
        s.pdf->setSelectedPages(all);
    });
}

// ---------------------------------------------------------------- View

void MenuCommands::buildViewMenu() {
    QMenu* view = bar_->addMenu(QStringLiteral("&View"));
    // The keyboard monitor gives zooming in and out its keys.
    add(view, QStringLiteral("Zoom In"), {}, hasContext, [](const State& s) { s.context->zoomIn(); });
    add(view, QStringLiteral("Zoom Out"), {}, hasContext, [](const State& s) { s.context->zoomOut(); });
    add(view, QStringLiteral("Actual Size"), keys({QKeySequence(Qt::CTRL | Qt::Key_0)}), hasContext,
        [](const State& s) { s.context->zoomToActualSize(); });
    add(view, QStringLiteral("Zoom to Fit"), keys({QKeySequence(Qt::CTRL | Qt::Key_1)}), hasContext,
        [](const State& s) { s.context->zoomToFit(); });
    view->addSeparator();
    add(view, QStringLiteral("Toggle Sidebar"), keys({QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S)}), hasContext, [](const State& s) {
        if (s.pdf) s.pdf->setSidebarVisible(!s.pdf->isSidebarVisible());
        if (s.image) s.image->setSidebarVisible(!s.image->isSidebarVisible());
    });
    add(view, QStringLiteral("Text Annotations"), keys({QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A)}), isPdf, [](const State& s) {
        if (s.pdf->isAnnotationsSidebarVisible()) s.pdf->setAnnotationsSidebarVisible(false);
        else s.pdf->openAnnotationsSidebar();
    });
    add(view, QStringLiteral("Signatures & Stamps"), keys({QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G)}), isPdf,
        [](const State& s) { s.pdf->toggleSignatureSidebar(); });
    view->addSeparator();
    add(view, QStringLiteral("Split Horizontal"), keys({QKeySequence(Qt::CTRL | Qt::Key_E)}), hasModel,
        [](const State& s) { s.model->toggleSplit(SplitDirection::horizontal); });
    add(view, QStringLiteral("Split Vertical"), keys({QKeySequence(Qt::CTRL | Qt::Key_R)}), hasModel,
        [](const State& s) { s.model->toggleSplit(SplitDirection::vertical); });
    view->addSeparator();
    for (AppearanceMode mode : AppearanceModes::allCases()) {
        const QString title = rawValue(mode);
        add(view, title, {}, [this](const State& s) { return s.model && delegate_ && delegate_->appearance(); },
            [this, mode](const State&) { delegate_->appearance()->setAppearanceMode(mode); },
            [this, mode, title](const State&) {
                AppearanceSettings* appearance = delegate_ ? delegate_->appearance() : nullptr;
                return ticked(appearance && appearance->appearanceMode() == mode, title);
            });
    }
    view->addSeparator();
    add(view, QStringLiteral("Enter Full Screen"), keys({QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F), QKeySequence(Qt::Key_F11)}),
        [this](const State&) { return bar_->window() != nullptr; }, [this](const State&) { toggleFullScreen(); },
        [this](const State&) {
            const bool full = bar_->window() && bar_->window()->isFullScreen();
            return full ? QStringLiteral("Exit Full Screen") : QStringLiteral("Enter Full Screen");
        });
    const std::pair<ViewMode, QString> modes[] = {{ViewMode::singlePage, QStringLiteral("Single Page")},
                                                  {ViewMode::continuous, QStringLiteral("Continuous")},
                                                  {ViewMode::twoPages, QStringLiteral("Two Pages")},
                                                  {ViewMode::twoPagesContinuous, QStringLiteral("Two Pages Continuous")}};
    for (const auto& [mode, title] : modes)
        add(view, title, {}, isPdf, [mode = mode](const State& s) { s.pdf->setViewMode(mode); },
            [mode = mode, title = title](const State& s) { return ticked(s.pdf && s.pdf->viewMode() == mode, title); });
    view->addSeparator();
    add(view, QStringLiteral("Next Page"), keys({QKeySequence(Qt::Key_PageDown)}), hasContext, [](const State& s) { s.context->goToNextPage(); });
    add(view, QStringLiteral("Previous Page"), keys({QKeySequence(Qt::Key_PageUp)}), hasContext,
        [](const State& s) { s.context->goToPreviousPage(); });
    add(view, QStringLiteral("First Page"), keys({QKeySequence(Qt::Key_Home)}), hasContext, [](const State& s) { s.context->goToPage(0); });
    add(view, QStringLiteral("Last Page"), keys({QKeySequence(Qt::Key_End)}), hasContext,
        [](const State& s) { s.context->goToPage(s.context->totalPages() - 1); });
}

void MenuCommands::toggleFullScreen() {
    QWidget* window = bar_->window();
    if (!window) return;
    if (window->isFullScreen()) window->showNormal();
    else window->showFullScreen();
    update();
}

// ---------------------------------------------------------------- Tools

// The PDF tools by mouse and keyboard. Ctrl+H and Ctrl+T are taken by the keyboard monitor; the
// menu shows them. Titles follow the tool's state.
void MenuCommands::buildToolsMenu() {
    QMenu* tools = bar_->addMenu(QStringLiteral("&Tools"));
    // A tool: its titles while `isOn` holds or not, and whether it shows as ticked.
    struct Tool {
        QString on, off;
        QKeySequence keys;
        bool ticks;
        std::function<bool(const PDFDocumentContext&)> isOn;
        std::function<void(PDFDocumentContext&)> toggle;
    };
    const Tool list[] = {
        {QStringLiteral("Disable Text Mode"), QStringLiteral("Enable Text Mode"), QKeySequence(Qt::CTRL | Qt::Key_T), false,
         [](const PDFDocumentContext& c) { return c.textTool()->isTextAnnotationMode(); },
         [](PDFDocumentContext& c) { c.textTool()->toggleTextAnnotationMode(); }},
        {QStringLiteral("Select"), QStringLiteral("Add Text"), {}, false,
         [](const PDFDocumentContext& c) { return c.textTool()->isTextAnnotationMode() && c.textTool()->textSubMode() == TextSubMode::add; },
         [](PDFDocumentContext& c) {
             PDFTextBoxTool* tool = c.textTool();
             const bool adding = tool->isTextAnnotationMode() && tool->textSubMode() == TextSubMode::add;
             if (!tool->isTextAnnotationMode()) tool->toggleTextAnnotationMode();
             tool->setTextSubMode(adding ? TextSubMode::select : TextSubMode::add);
         }},
        {QStringLiteral("Highlight"), QStringLiteral("Highlight"), QKeySequence(Qt::CTRL | Qt::Key_H), true,
         [](const PDFDocumentContext& c) { return c.isHighlightMode(); }, [](PDFDocumentContext& c) { c.toggleHighlightMode(); }},
        {QStringLiteral("Whiteout"), QStringLiteral("Whiteout"), {}, true,
         [](const PDFDocumentContext& c) { return c.isWhiteoutMode(); }, [](PDFDocumentContext& c) { c.toggleWhiteoutMode(); }},
        {QStringLiteral("Text Selection"), QStringLiteral("Hand Tool"), {}, false,
         [](const PDFDocumentContext& c) { return !c.isTextSelectionMode(); },
         [](PDFDocumentContext& c) { c.setTextSelectionMode(!c.isTextSelectionMode()); }},
    };
    for (const Tool& tool : list) {
        const QList<QKeySequence> shortcuts = tool.keys.isEmpty() ? QList<QKeySequence>() : keys({tool.keys});
        QAction* action = add(tools, tool.off, shortcuts, isPdf, [toggle = tool.toggle](const State& s) { toggle(*s.pdf); },
                              [tool](const State& s) { return s.pdf && tool.isOn(*s.pdf) ? tool.on : tool.off; });
        action->setCheckable(tool.ticks);
        if (tool.ticks) {
            // The tick follows the tool with the rest of the item.
            items_.back().dynamicTitle = [tool, action](const State& s) {
                const bool on = s.pdf && tool.isOn(*s.pdf);
                action->setChecked(on);
                return on ? tool.on : tool.off;
            };
        }
    }
    tools->addSeparator();
    // Bullets for the lines of the text box being typed.
    add(tools, QStringLiteral("Bullet List"), keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_8)}), isPdf, [this](const State&) {
        if (auto* window = qobject_cast<WorkspaceWindow*>(bar_->window()))
            if (ScrivolaPDFView* view = window->activePdfView()) view->toggleBulletList();
    });
}

// ---------------------------------------------------------------- Window and Help

void MenuCommands::buildWindowMenu() {
    QMenu* window = bar_->addMenu(QStringLiteral("&Window"));
    add(window, QStringLiteral("Next Tab"),
        keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight), QKeySequence(Qt::CTRL | Qt::Key_Tab)}), hasTab,
        [](const State& s) { s.model->focusedPane()->selectNextTab(); });
    add(window, QStringLiteral("Previous Tab"),
        keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)}), hasTab,
        [](const State& s) { s.model->focusedPane()->selectPreviousTab(); });
}

void MenuCommands::buildHelpMenu() {
    QMenu* help = bar_->addMenu(QStringLiteral("&Help"));
    add(help, QStringLiteral("Welcome to Scrivola"), {}, hasModel, [](const State& s) { s.model->setShowWelcomeSheet(true); });
    help->addSeparator();
    add(help, QStringLiteral("Send Feedback..."), {}, always,
        [](const State&) { QDesktopServices::openUrl(QUrl(AppConstants::supportUrl)); });
    help->addSeparator();
    add(help, QStringLiteral("Scrivola Website"), {}, always,
        [](const State&) { QDesktopServices::openUrl(QUrl(AppConstants::websiteUrl)); });
}

}  // namespace scrivola
