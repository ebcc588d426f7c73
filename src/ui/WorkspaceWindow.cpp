#include "ui/WorkspaceWindow.h"

#include "ui/ContentView.h"
#include "ui/DialogPrompter.h"
#include "ui/DocumentArea.h"
#include "ui/DropZoneView.h"
#include "ui/KeyboardMonitor.h"
#include "ui/PaneView.h"
#include "ui/TabPages.h"
#include "compression/view/CompressDialogView.h"
#include "ui/WindowChrome.h"
#include "image/ImageDocumentContext.h"
#include "image/view/ImageCanvasView.h"
#include "image/view/ImageDialogs.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/ServiceContainer.h"
#include "workspace/TabItem.h"
#include "workspace/WorkspaceDrops.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMimeData>
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
    // The document areas of every pane; a hidden place keeps those no pane holds.
    auto* parking = new QWidget(central);
    parking->hide();
    areas_ = new DocumentAreaCache(kMaxPages, [this, parking](TabItem* tab) {
        auto* area = new DocumentArea(tab, model_->services()->signatureStorage(), parking);
        // A failed compression also shows in the window's message bar, as the tab's failure.
        showCompressSheetWhenAsked(area, tab, nullptr, [tab = QPointer<TabItem>(tab)](const QString& message) {
            if (tab && tab->context()) emit tab->context()->failureReported(message);
        });
        return area;
    }, this);
    areas_->setParking(parking);
    connect(areas_, &DocumentAreaCache::areaCreated, this, &WorkspaceWindow::documentAreaCreated);
    content_ = new ContentView(model_.get(), areas_, prompter_.get(), central);
    connect(content_, &ContentView::documentPainted, this, &WorkspaceWindow::documentPainted);
    layout->addWidget(content_, 1);
    setCentralWidget(central);
    dropZone_ = new DropZoneView(model_.get(), this);
    installWindowChrome(*this, *model_, *layout);

    connect(model_.get(), &AppViewModel::windowTitleChanged, this, &QWidget::setWindowTitle);

    buildMenus();
    new KeyboardMonitor(this, model_.get(), [this]() -> QAbstractScrollArea* {
        if (activeImageContext()) return imageCanvas();
        return activePdfView();
    });
    setWindowTitle(model_->windowTitle());
}

WorkspaceWindow::~WorkspaceWindow() {
    // The panes, canvases and page views observe the model and the contexts it owns: they go first.
    delete content_;
    content_ = nullptr;
    areas_->clear();
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

PaneView* WorkspaceWindow::focusedPaneView() const { return content_->paneView(model_->focusedPaneIndex()); }

ImageCanvasView* WorkspaceWindow::imageCanvas() const {
    PaneView* pane = focusedPaneView();
    return pane ? pane->imageCanvas() : nullptr;
}

DocumentArea* WorkspaceWindow::activeArea() const {
    PaneView* pane = focusedPaneView();
    return pane ? pane->currentArea() : nullptr;
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
    DocumentArea* area = activeArea();
    return area ? area->pdfView() : nullptr;
}

QWidget* WorkspaceWindow::activePage() const {
    DocumentArea* area = activeArea();
    return area ? area->page() : nullptr;
}

void WorkspaceWindow::closeEvent(QCloseEvent* event) {
    if (model_->resolveUnsavedChanges())
        event->accept();
    else
        event->ignore();
}

void WorkspaceWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (WorkspaceDrops::hasFiles(*event->mimeData())) {
        model_->setDropTargetActive(true);
        event->acceptProposedAction();
    }
}

// The overlay ends the highlight once the drag has left every widget of the window.
void WorkspaceWindow::dragLeaveEvent(QDragLeaveEvent* event) { QMainWindow::dragLeaveEvent(event); }

void WorkspaceWindow::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    WorkspaceDrops::dropOnWindow(*model_, WorkspaceDrops::localPaths(event->mimeData()->urls()), markAsDropped_);
}

}  // namespace scrivola
