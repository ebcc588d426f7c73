#include "ui/WorkspaceWindow.h"

#include "ui/DialogPrompter.h"
#include "ui/EmptyWindowHint.h"
#include "ui/KeyboardMonitor.h"
#include "ui/TabPages.h"
#include "ui/WindowChrome.h"
#include "image/ImageDocumentContext.h"
#include "image/view/ImageCanvasView.h"
#include "image/view/ImageDialogs.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "thumbnails/view/PageNavigationView.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/ServiceContainer.h"
#include "workspace/TabItem.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QUrl>
#include <QVBoxLayout>

namespace scrivola {

WorkspaceWindow::WorkspaceWindow(std::unique_ptr<AppViewModel> model, QWidget* parent)
    : QMainWindow(parent), prompter_(std::make_unique<DialogPrompter>(this)), model_(std::move(model)) {
    model_->setPrompter(prompter_.get());
    setAcceptDrops(true);
    resize(1100, 800);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabBar_ = new QTabBar(central);
    tabBar_->setTabsClosable(true);
    tabBar_->setMovable(false);
    tabBar_->setExpanding(false);
    tabBar_->setDocumentMode(true);
    stack_ = new QStackedWidget(central);
    emptyHint_ = new EmptyWindowHint(stack_);
    stack_->addWidget(emptyHint_);
    imageCanvas_ = new ImageCanvasView(stack_);
    imageCanvas_->hide();
    connect(imageCanvas_, &ImageCanvasView::painted, this, &WorkspaceWindow::documentPainted);
    connect(imageCanvas_, &ImageCanvasView::filesDropped, this, [this](const QStringList& paths) { model_->openFiles(paths); });
    layout->addWidget(tabBar_);
    layout->addWidget(stack_, 1);
    // The bottom bar: the page navigator of the active tab, until the shell brings its bars.
    navigator_ = new PageNavigationView(central);
    layout->addWidget(navigator_, 0, Qt::AlignHCenter);
    setCentralWidget(central);
    installWindowChrome(*this, *model_, *layout);

    connect(tabBar_, &QTabBar::currentChanged, this, [this](int index) {
        if (rebuilding_ || !observedPane_) return;
        if (TabItem* tab = observedPane_->tabAt(index)) observedPane_->setActiveTabID(tab->id());
    });
    connect(tabBar_, &QTabBar::tabCloseRequested, this, [this](int index) {
        if (!observedPane_) return;
        if (TabItem* tab = observedPane_->tabAt(index)) model_->closeTab(*tab);
    });
    connect(model_.get(), &AppViewModel::focusedPaneIndexChanged, this, &WorkspaceWindow::observePane);
    connect(model_.get(), &AppViewModel::panesChanged, this, &WorkspaceWindow::observePane);
    connect(model_.get(), &AppViewModel::activeTabChanged, this, &WorkspaceWindow::showActiveTab);
    connect(model_.get(), &AppViewModel::windowTitleChanged, this, &QWidget::setWindowTitle);

    buildMenus();
    new KeyboardMonitor(this, model_.get(), [this]() -> QAbstractScrollArea* {
        if (activeImageContext()) return imageCanvas_;
        return activePdfView();
    });
    observePane();
    setWindowTitle(model_->windowTitle());
}

WorkspaceWindow::~WorkspaceWindow() {
    // The canvas and the page views observe contexts that the model owns: let them go first.
    imageCanvas_->setContext(nullptr);
    for (auto& [tab, page] : pages_) delete page.data();
    pages_.clear();
}

void WorkspaceWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("Open..."), QKeySequence::Open, this, [this] { model_->openDocument(); });
    file->addSeparator();
    file->addAction(QStringLiteral("Save"), QKeySequence::Save, this, [this] { model_->saveActiveDocument(); });
    file->addAction(QStringLiteral("Save As..."), QKeySequence::SaveAs, this, [this] { model_->saveActiveDocumentAs(); });
    file->addSeparator();
    file->addAction(QStringLiteral("Close Tab"), QKeySequence::Close, this, [this] { model_->closeActiveTab(); });
    file->addAction(QStringLiteral("Quit"), QKeySequence::Quit, qApp, &QApplication::closeAllWindows);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* undo = edit->addAction(QStringLiteral("Undo"), QKeySequence::Undo, this, [this] { withContext([](DocumentContext& c) { c.undo(); }); });
    QAction* redo = edit->addAction(QStringLiteral("Redo"), QKeySequence::Redo, this, [this] { withContext([](DocumentContext& c) { c.redo(); }); });
    // The items name the step they would take back or do again: "Undo Move Text Box".
    connect(edit, &QMenu::aboutToShow, this, [this, undo, redo] {
        TabItem* tab = model_->activeTab();
        DocumentContext* context = tab ? tab->context() : nullptr;
        const auto title = [](const QString& verb, const QString& name) { return name.isEmpty() ? verb : verb + QLatin1Char(' ') + name; };
        undo->setText(title(QStringLiteral("Undo"), context ? context->undoActionName() : QString()));
        redo->setText(title(QStringLiteral("Redo"), context ? context->redoActionName() : QString()));
        undo->setEnabled(context && context->canUndo());
        redo->setEnabled(context && context->canRedo());
    });
    // Shortcuts work while the menu is closed, whatever it showed last.
    connect(edit, &QMenu::aboutToHide, this, [undo, redo] {
        undo->setEnabled(true);
        redo->setEnabled(true);
    });

    buildDocumentCommands(file, edit);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addAction(QStringLiteral("Next Page"), QKeySequence(Qt::Key_PageDown), this, [this] { withContext([](DocumentContext& n) { n.goToNextPage(); }); });
    view->addAction(QStringLiteral("Previous Page"), QKeySequence(Qt::Key_PageUp), this, [this] { withContext([](DocumentContext& n) { n.goToPreviousPage(); }); });
    view->addAction(QStringLiteral("First Page"), QKeySequence(Qt::Key_Home), this, [this] { withContext([](DocumentContext& n) { n.goToPage(0); }); });
    view->addAction(QStringLiteral("Last Page"), QKeySequence(Qt::Key_End), this, [this] { withContext([](DocumentContext& n) { n.goToPage(n.totalPages() - 1); }); });
    view->addSeparator();
    view->addAction(QStringLiteral("Zoom In"), QKeySequence::ZoomIn, this, [this] { withContext([](DocumentContext& z) { z.zoomIn(); }); });
    view->addAction(QStringLiteral("Zoom Out"), QKeySequence::ZoomOut, this, [this] { withContext([](DocumentContext& z) { z.zoomOut(); }); });
    view->addAction(QStringLiteral("Actual Size"), QKeySequence(Qt::CTRL | Qt::Key_0), this, [this] { withContext([](DocumentContext& z) { z.zoomToActualSize(); }); });
    view->addAction(QStringLiteral("Zoom to Fit"), QKeySequence(Qt::CTRL | Qt::Key_1), this, [this] { withContext([](DocumentContext& z) { z.zoomToFit(); }); });
    view->addSeparator();
    // One item per display mode, the current one ticked; titles are set as the menu opens.
    const std::pair<ViewMode, QString> modes[] = {{ViewMode::singlePage, QStringLiteral("Single Page")},
                                                  {ViewMode::continuous, QStringLiteral("Continuous")},
                                                  {ViewMode::twoPages, QStringLiteral("Two Pages")},
                                                  {ViewMode::twoPagesContinuous, QStringLiteral("Two Pages Continuous")}};
    QList<QAction*> modeActions;
    for (const auto& [mode, title] : modes) {
        QAction* action = view->addAction(QStringLiteral("  ") + title, this, [this, mode = mode] {
            if (PDFDocumentContext* pdf = activePdfContext()) pdf->setViewMode(mode);
        });
        modeActions << action;
    }
    connect(view, &QMenu::aboutToShow, this, [this, modeActions, modes] {
        PDFDocumentContext* pdf = activePdfContext();
        for (int i = 0; i < modeActions.size(); ++i) {
            const bool current = pdf && pdf->viewMode() == modes[i].first;
            modeActions[i]->setText((current ? QStringLiteral("✓ ") : QStringLiteral("  ")) + modes[i].second);
            modeActions[i]->setEnabled(pdf != nullptr);
        }
    });
    view->addSeparator();
    view->addAction(QStringLiteral("Toggle Sidebar"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S), this, [this] {
        if (PDFDocumentContext* pdf = activePdfContext()) pdf->setSidebarVisible(!pdf->isSidebarVisible());
        if (ImageDocumentContext* image = activeImageContext()) image->setSidebarVisible(!image->isSidebarVisible());
    });
    view->addAction(QStringLiteral("Text Annotations"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_A), this, [this] {
        if (PDFDocumentContext* pdf = activePdfContext()) {
            if (pdf->isAnnotationsSidebarVisible()) pdf->setAnnotationsSidebarVisible(false);
            else pdf->openAnnotationsSidebar();
        }
    });
    view->addAction(QStringLiteral("Signatures & Stamps"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G), this, [this] {
        if (PDFDocumentContext* pdf = activePdfContext()) pdf->toggleSignatureSidebar();
    });
    view->addAction(QStringLiteral("Next Tab"), QKeySequence(Qt::CTRL | Qt::Key_Tab), this, [this] { if (Pane* p = model_->focusedPane()) p->selectNextTab(); });
    view->addAction(QStringLiteral("Previous Tab"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), this, [this] { if (Pane* p = model_->focusedPane()) p->selectPreviousTab(); });
    buildToolsMenu();
}

// The PDF tools by mouse and keyboard (Alt+T), until toolbars carry them. Ctrl+H and Ctrl+T are
// taken by the keyboard monitor; the menu shows them. Titles follow the state as the menu opens.
void WorkspaceWindow::buildToolsMenu() {
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    // A tool's item: its titles while `isOn` holds or not, and whether it shows as ticked.
    struct Item {
        QString on, off;
        QKeySequence keys;
        bool ticks;
        std::function<bool(const PDFDocumentContext&)> isOn;
        std::function<void(PDFDocumentContext&)> toggle;
    };
    const std::vector<Item> items = {
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
    std::vector<std::pair<QAction*, Item>> actions;
    for (const Item& item : items) {
        QAction* action = tools->addAction(item.off, this, [this, toggle = item.toggle] {
            if (PDFDocumentContext* context = activePdfContext()) toggle(*context);
        });
        action->setShortcut(item.keys);
        action->setCheckable(item.ticks);
        actions.emplace_back(action, item);
    }
    connect(tools, &QMenu::aboutToShow, this, [this, actions] {
        PDFDocumentContext* context = activePdfContext();
        for (const auto& [action, item] : actions) {
            action->setEnabled(context != nullptr);
            const bool on = context && item.isOn(*context);
            action->setChecked(on);
            action->setText(on ? item.on : item.off);
        }
    });
    // Bullets for the lines of the text box being typed.
    tools->addSeparator();
    tools->addAction(QStringLiteral("Bullet List"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_8), this, [this] {
        if (ScrivolaPDFView* view = activePdfView()) view->toggleBulletList();
    });
}

// Export and print act on the selection or the current item; rotation on the shown image of an
// image tab, on the selected pages (or the current one) of a PDF.
void WorkspaceWindow::buildDocumentCommands(QMenu* file, QMenu* edit) {
    const QList<QAction*> fileItems = file->actions();
    QAction* beforeClose = fileItems.size() >= 2 ? fileItems.at(fileItems.size() - 2) : nullptr;
    auto* exportItem = new QAction(QStringLiteral("Export..."), file);
    exportItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(exportItem, &QAction::triggered, this, [this] { withContext([](DocumentContext& c) { c.exportItems(c.exportTargets()); }); });
    auto* printItem = new QAction(QStringLiteral("Print..."), file);
    printItem->setShortcut(QKeySequence::Print);
    connect(printItem, &QAction::triggered, this, [this] {
        if (ImageDocumentContext* image = activeImageContext()) image->printImage();
        else if (PDFDocumentContext* pdf = activePdfContext()) pdf->printDocument();
    });
    // After Save As, before Close Tab.
    file->insertActions(beforeClose, {exportItem, printItem});
    file->insertSeparator(beforeClose);

    edit->addSeparator();
    const auto rotate = [this](int degrees) {
        if (ImageDocumentContext* image = activeImageContext()) image->rotateImageAt(image->currentPage(), degrees);
        else if (PDFDocumentContext* pdf = activePdfContext()) pdf->rotatePages(degrees);
    };
    edit->addAction(QStringLiteral("Rotate Left"), QKeySequence(Qt::CTRL | Qt::Key_L), this, [rotate] { rotate(-90); });
    edit->addAction(QStringLiteral("Rotate Right"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), this, [rotate] { rotate(90); });
}

template <typename F> void WorkspaceWindow::withContext(F&& f) {
    if (TabItem* tab = model_->activeTab())
        if (DocumentContext* context = tab->context()) f(*context);
}

void WorkspaceWindow::observePane() {
    for (const auto& c : paneConnections_) disconnect(c);
    paneConnections_.clear();
    observedPane_ = model_->focusedPane();
    if (observedPane_) {
        paneConnections_ << connect(observedPane_, &Pane::tabsChanged, this, &WorkspaceWindow::rebuildTabs);
        paneConnections_ << connect(observedPane_, &Pane::activeTabIDChanged, this, &WorkspaceWindow::rebuildTabs);
        paneConnections_ << connect(observedPane_, &Pane::tabUrlChanged, this, &WorkspaceWindow::rebuildTabs);
    }
    rebuildTabs();
}

void WorkspaceWindow::rebuildTabs() {
    rebuilding_ = true;
    while (tabBar_->count() > 0) tabBar_->removeTab(0);
    if (observedPane_) {
        for (TabItem* tab : observedPane_->tabs()) {
            const int i = tabBar_->addTab(tab->content()->displayName());
            tabBar_->setTabToolTip(i, tab->content()->url());
        }
        tabBar_->setCurrentIndex(observedPane_->activeIndex());
    }
    tabBar_->setVisible(tabBar_->count() > 0);
    rebuilding_ = false;
    showActiveTab();
}

QWidget* WorkspaceWindow::pageFor(TabItem* tab) {
    for (auto it = pages_.begin(); it != pages_.end(); ++it) {
        if (it->first != tab || !it->second) continue;
        pages_.splice(pages_.end(), pages_, it);
        return it->second.data();
    }
    QWidget* page = makePage(tab);
    stack_->addWidget(page);
    // The page goes with its tab.
    connect(tab, &QObject::destroyed, page, [this, tab] {
        for (auto it = pages_.begin(); it != pages_.end(); ++it)
            if (it->first == tab) {
                delete it->second.data();
                pages_.erase(it);
                return;
            }
    });
    pages_.emplace_back(tab, page);
    // The pages of the tabs shown longest ago go first; they are made again when needed.
    while (int(pages_.size()) > kMaxPages) {
        delete pages_.front().second.data();
        pages_.pop_front();
    }
    return page;
}

QWidget* WorkspaceWindow::makePage(TabItem* tab) {
    if (auto* image = qobject_cast<ImageDocumentContext*>(tab->context())) return new ImageTabPage(image, stack_);
    auto* context = qobject_cast<PDFDocumentContext*>(tab->context());
    auto* page = new PdfTabPage(context, model_->services()->signatureStorage(), stack_);
    ScrivolaPDFView* view = page->view();
    connect(view, &ScrivolaPDFView::painted, this, &WorkspaceWindow::documentPainted);
    connect(view, &ScrivolaPDFView::filesDropped, this, [this](const QList<QUrl>& urls) {
        QStringList paths;
        for (const QUrl& url : urls) paths << url.toLocalFile();
        model_->openFiles(paths);
    });
    return page;
}

PDFDocumentContext* WorkspaceWindow::activePdfContext() const {
    TabItem* tab = model_->activeTab();
    return tab ? qobject_cast<PDFDocumentContext*>(tab->context()) : nullptr;
}

ImageDocumentContext* WorkspaceWindow::activeImageContext() const {
    TabItem* tab = model_->activeTab();
    return tab ? qobject_cast<ImageDocumentContext*>(tab->context()) : nullptr;
}

ScrivolaPDFView* WorkspaceWindow::activePdfView() const {
    auto* page = qobject_cast<PdfTabPage*>(stack_->currentWidget());
    return page ? page->view() : nullptr;
}

QWidget* WorkspaceWindow::activePage() const {
    QWidget* page = stack_->currentWidget();
    return page == emptyHint_ ? nullptr : page;
}

void WorkspaceWindow::showActiveTab() {
    TabItem* tab = model_->activeTab();
    navigator_->setContext(tab ? tab->context() : nullptr);
    disconnect(twoUpConnection_);
    if (PDFDocumentContext* pdf = activePdfContext()) {
        const auto twoUp = [this, pdf] { navigator_->setTwoUp(isTwoUp(pdf->viewMode())); };
        twoUp();
        twoUpConnection_ = connect(pdf, &PDFDocumentContext::viewChanged, navigator_, twoUp);
        imageCanvas_->setContext(nullptr);
        // Exported pages go where this window's save dialog says, printed ones to its printer.
        pdf->setExportPresenter(prompter_.get());
        pdf->setPrintPresenter(prompter_.get());
        auto* page = static_cast<PdfTabPage*>(pageFor(tab));
        navigator_->show();
        stack_->setCurrentWidget(page);
        page->view()->setFocus();
        return;
    }
    navigator_->setTwoUp(false);
    if (ImageDocumentContext* image = activeImageContext()) {
        image->setExportPresenter(&ImageDialogs::shared());
        image->setPrintPresenter(&ImageDialogs::shared());
        // The page's own bar carries the navigator of a collection.
        navigator_->hide();
        auto* page = static_cast<ImageTabPage*>(pageFor(tab));
        page->adoptCanvas(imageCanvas_);
        imageCanvas_->setContext(image);
        stack_->setCurrentWidget(page);
        imageCanvas_->setFocus();
        return;
    }
    navigator_->show();
    imageCanvas_->setContext(nullptr);
    stack_->setCurrentWidget(emptyHint_);
}

void WorkspaceWindow::closeEvent(QCloseEvent* event) {
    if (model_->resolveUnsavedChanges())
        event->accept();
    else
        event->ignore();
}

void WorkspaceWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        model_->setDropTargetActive(true);
        event->acceptProposedAction();
    }
}

void WorkspaceWindow::dragLeaveEvent(QDragLeaveEvent* event) {
    model_->setDropTargetActive(false);
    QMainWindow::dragLeaveEvent(event);
}

void WorkspaceWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    model_->setDropTargetActive(false);
    if (!paths.isEmpty()) model_->openFiles(paths);
}

}  // namespace scrivola
