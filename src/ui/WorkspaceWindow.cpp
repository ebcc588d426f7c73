#include "ui/WorkspaceWindow.h"

#include "ui/ContentView.h"
#include "ui/DialogPrompter.h"
#include "ui/DocumentArea.h"
#include "ui/DocumentToolbar.h"
#include "ui/DropZoneView.h"
#include "ui/KeyboardMonitor.h"
#include "ui/PaneView.h"
#include "ui/TabPages.h"
#include "ui/TextFormatToolbar.h"
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
        // Above the document: its toolbar and, for a PDF, the text-format toolbar of text mode.
        auto* bars = new QWidget(area);
        auto* column = new QVBoxLayout(bars);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        column->addWidget(new DocumentToolbar(model_.get(), tab, bars));
        if (auto* pdf = qobject_cast<PDFDocumentContext*>(tab->context())) column->addWidget(new TextFormatToolbar(pdf, bars));
        area->setToolbar(bars);
        // A failed compression also shows in the window's message bar, as the tab's failure.
        showCompressSheetWhenAsked(area, tab, nullptr, [tab = QPointer<TabItem>(tab)](const QString& message) {
            if (tab && tab->context()) emit tab->context()->failureReported(message);
        });
        return area;
    }, this);
    areas_->setParking(parking);
    content_ = new ContentView(model_.get(), areas_, prompter_.get(), central);
    connect(content_, &ContentView::documentPainted, this, &WorkspaceWindow::documentPainted);
    layout->addWidget(content_, 1);
    setCentralWidget(central);
    dropZone_ = new DropZoneView(model_.get(), this);
    installWindowChrome(*this, *model_, *layout);

    connect(model_.get(), &AppViewModel::windowTitleChanged, this, &QWidget::setWindowTitle);

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
