#include "ui/WorkspaceWindow.h"

#include "ui/DialogPrompter.h"
#include "ui/EmptyWindowHint.h"
#include "ui/KeyboardMonitor.h"
#include "ui/TabPages.h"
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
    setCentralWidget(central);

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
    dropPagesOfDepartedTabs();
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

// A tab moved into another window is shown there by a page of its own: this window's page, which
// still observes the tab's context, goes.
void WorkspaceWindow::dropPagesOfDepartedTabs() {
    for (auto it = pages_.begin(); it != pages_.end();) {
        if (it->second && model_->findTab(it->first->id())) {
            ++it;
            continue;
        }
        if (it->second && stack_->currentWidget() == it->second) {
            if (auto* image = qobject_cast<ImageTabPage*>(it->second.data()); image) imageCanvas_->setContext(nullptr);
            stack_->setCurrentWidget(emptyHint_);
        }
        delete it->second.data();
        it = pages_.erase(it);
    }
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

// The bottom bar: the page navigator of a PDF tab, made when first needed (its icons and fonts
// cost a noticeable part of opening an empty window).
PageNavigationView* WorkspaceWindow::navigator() {
    if (!navigator_) {
        navigator_ = new PageNavigationView(centralWidget());
        centralWidget()->layout()->addWidget(navigator_);
        centralWidget()->layout()->setAlignment(navigator_, Qt::AlignHCenter);
    }
    return navigator_;
}

void WorkspaceWindow::showActiveTab() {
    TabItem* tab = model_->activeTab();
    disconnect(twoUpConnection_);
    if (PDFDocumentContext* pdf = activePdfContext()) {
        PageNavigationView* bar = navigator();
        bar->setContext(pdf);
        const auto twoUp = [bar, pdf] { bar->setTwoUp(isTwoUp(pdf->viewMode())); };
        twoUp();
        twoUpConnection_ = connect(pdf, &PDFDocumentContext::viewChanged, bar, twoUp);
        imageCanvas_->setContext(nullptr);
        // Exported pages go where this window's save dialog says, printed ones to its printer.
        pdf->setExportPresenter(prompter_.get());
        pdf->setPrintPresenter(prompter_.get());
        auto* page = static_cast<PdfTabPage*>(pageFor(tab));
        bar->show();
        stack_->setCurrentWidget(page);
        page->view()->setFocus();
        return;
    }
    // An image page carries the navigator of its collection; an empty window has none.
    if (navigator_) {
        navigator_->setContext(nullptr);
        navigator_->setTwoUp(false);
        navigator_->hide();
    }
    if (ImageDocumentContext* image = activeImageContext()) {
        image->setExportPresenter(&ImageDialogs::shared());
        image->setPrintPresenter(&ImageDialogs::shared());
        auto* page = static_cast<ImageTabPage*>(pageFor(tab));
        page->adoptCanvas(imageCanvas_);
        imageCanvas_->setContext(image);
        stack_->setCurrentWidget(page);
        imageCanvas_->setFocus();
        return;
    }
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
