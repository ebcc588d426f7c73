#include "ui/PaneView.h"

#include "ui/DialogPrompter.h"
#include "ui/DocumentArea.h"
#include "ui/PaneTabBar.h"
#include "ui/PaneWelcomeView.h"
#include "ui/TabPages.h"
#include "ui/WorkspaceWindow.h"
#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"
#include "image/view/ImageCanvasView.h"
#include "image/view/ImageDialogs.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "workspace/AppViewModel.h"
#include "workspace/Pane.h"
#include "workspace/TabItem.h"
#include "workspace/WorkspaceDrops.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QStackedWidget>
#include <QUuid>
#include <QVBoxLayout>

namespace scrivola {

namespace {
constexpr int kOutlineWidth = 2;

// Whether a drag carries what a pane takes: local files or the id text of a tab.
bool isPaneDrop(const WorkspaceDrops::Payload& payload) {
    if (!payload.paths.isEmpty()) return true;
    for (const QString& text : payload.texts)
        if (!QUuid::fromString(text.trimmed()).isNull()) return true;
    return false;
}
}  // namespace

PaneView::PaneView(AppViewModel* model, int paneIndex, DocumentAreaCache* areas, DialogPrompter* prompter, QWidget* parent)
    : QWidget(parent), model_(model), paneIndex_(paneIndex), areas_(areas), prompter_(prompter) {
    setAcceptDrops(true);
    setProperty(kPaneIndexProperty, paneIndex);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabBar_ = new PaneTabBar(model, paneIndex, this);
    stack_ = new QStackedWidget(this);
    welcome_ = new PaneWelcomeView(model, paneIndex, stack_);
    stack_->addWidget(welcome_);
    layout->addWidget(tabBar_);
    layout->addWidget(stack_, 1);
    canvas_ = new ImageCanvasView(this);
    canvas_->hide();
    connect(canvas_, &ImageCanvasView::painted, this, &PaneView::documentPainted);
    connect(canvas_, &ImageCanvasView::filesDropped, this, [this](const QStringList& paths) { drop({paths, {}}); });

    const auto outline = [this] {
        const bool split = model_ && model_->isSplitView();
        this->layout()->setContentsMargins(QMargins() + (split ? kOutlineWidth : 0));
        update();
    };
    outline();
    connect(model, &AppViewModel::isSplitViewChanged, this, outline);
    connect(model, &AppViewModel::focusedPaneIndexChanged, this, [this] {
        update();
        // The focused pane's viewer takes the keyboard, unless something in the pane has it.
        if (model_ && model_->focusedPaneIndex() == paneIndex_ && !isAncestorOf(focusWidget())) {
            DocumentArea* area = currentArea();
            if (area && area->pdfView()) area->pdfView()->setFocus();
            else if (area) canvas_->setFocus();
        }
    });
    connect(model, &AppViewModel::panesChanged, this, &PaneView::observe);
    observe();
}

PaneView::~PaneView() {
    canvas_->setContext(nullptr);
    reclaimCanvas();
    // The areas stay with the window: their tabs may be shown again elsewhere.
    for (const auto& c : areaConnections_) disconnect(c);
    QWidget* parking = areas_ ? areas_->parking() : nullptr;
    for (int i = stack_->count() - 1; i >= 0; --i) {
        QWidget* widget = stack_->widget(i);
        if (widget == welcome_) continue;
        stack_->removeWidget(widget);
        widget->hide();
        if (parking) widget->setParent(parking);
    }
}

void PaneView::setPaneIndex(int index) {
    if (index == paneIndex_) return;
    paneIndex_ = index;
    setProperty(kPaneIndexProperty, index);
    tabBar_->setPaneIndex(index);
    welcome_->setPaneIndex(index);
    observe();
}

DocumentArea* PaneView::currentArea() const { return qobject_cast<DocumentArea*>(stack_->currentWidget()); }

bool PaneView::isOutlined() const { return model_ && model_->isSplitView() && model_->focusedPaneIndex() == paneIndex_; }

void PaneView::observe() {
    Pane* pane = model_ ? model_->pane(paneIndex_) : nullptr;
    if (pane == pane_ && !paneConnections_.isEmpty()) return;
    for (const auto& c : paneConnections_) disconnect(c);
    paneConnections_.clear();
    pane_ = pane;
    if (pane) {
        paneConnections_ << connect(pane, &Pane::tabsChanged, this, &PaneView::showActiveTab);
        paneConnections_ << connect(pane, &Pane::activeTabIDChanged, this, &PaneView::showActiveTab);
    }
    showActiveTab();
}

void PaneView::reclaimCanvas() {
    if (canvas_->parentWidget() == this) return;
    canvas_->hide();
    canvas_->setParent(this);
}

void PaneView::attach(DocumentArea* area) {
    if (shown_ == area) return;
    for (const auto& c : areaConnections_) disconnect(c);
    areaConnections_.clear();
    shown_ = area;
    if (!area) return;
    areaConnections_ << connect(area, &DocumentArea::painted, this, &PaneView::documentPainted);
    areaConnections_ << connect(area, &DocumentArea::filesDropped, this, [this](const QStringList& paths) { drop({paths, {}}); });
}

void PaneView::showActiveTab() {
    TabItem* tab = pane_ ? pane_->activeTab() : nullptr;
    DocumentArea* area = tab && areas_ ? areas_->areaFor(tab) : nullptr;
    const bool focused = model_ && model_->focusedPaneIndex() == paneIndex_;
    auto* image = tab ? qobject_cast<ImageDocumentContext*>(tab->context()) : nullptr;
    if (!(image && area == shown_ && area && area->parentWidget() == stack_)) {
        canvas_->setContext(nullptr);
        reclaimCanvas();
    }
    attach(area);
    if (!area) {
        stack_->setCurrentWidget(welcome_);
        return;
    }
    if (area->parentWidget() != stack_) stack_->addWidget(area);
    if (auto* pdf = qobject_cast<PDFDocumentContext*>(tab->context())) {
        // Exported pages go where this window's save dialog says, printed ones to its printer.
        pdf->setExportPresenter(prompter_);
        pdf->setPrintPresenter(prompter_);
        stack_->setCurrentWidget(area);
        if (focused) area->pdfView()->setFocus();
        return;
    }
    image->setExportPresenter(&ImageDialogs::shared());
    image->setPrintPresenter(&ImageDialogs::shared());
    area->imagePage()->adoptCanvas(canvas_);
    if (canvas_->context() != image) canvas_->setContext(image);
    stack_->setCurrentWidget(area);
    if (focused) canvas_->setFocus();
}

bool PaneView::drop(const WorkspaceDrops::Payload& payload) {
    if (!model_) return false;
    auto* window = qobject_cast<WorkspaceWindow*>(this->window());
    const WorkspaceDrops::MarkAsDropped mark = window ? window->markAsDropped() : WorkspaceDrops::MarkAsDropped();
    const bool changed = WorkspaceDrops::dropOnPane(*model_, paneIndex_, payload, mark);
    model_->setDropTargetActive(false);
    return changed;
}

void PaneView::paintEvent(QPaintEvent*) {
    if (!isOutlined()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor accent = Theme::accent(palette());
    accent.setAlphaF(0.5);
    painter.setPen(QPen(accent, kOutlineWidth));
    const qreal half = kOutlineWidth / 2.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(half, half, -half, -half), Theme::cornerRadius, Theme::cornerRadius);
}

void PaneView::dragEnterEvent(QDragEnterEvent* event) {
    const WorkspaceDrops::Payload payload = WorkspaceDrops::payload(*event->mimeData());
    if (!isPaneDrop(payload)) return event->ignore();
    if (!payload.paths.isEmpty() && model_) model_->setDropTargetActive(true);
    event->acceptProposedAction();
}

void PaneView::dropEvent(QDropEvent* event) {
    const WorkspaceDrops::Payload payload = WorkspaceDrops::payload(*event->mimeData());
    // Accepted only when something opened or moved: a stale tab id fails the drag.
    if (isPaneDrop(payload) && drop(payload))
        event->acceptProposedAction();
    else
        event->ignore();
}

}  // namespace scrivola
