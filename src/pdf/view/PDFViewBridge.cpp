#include "pdf/view/PDFViewBridge.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/PDFViewHandle.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "pdf/view/SignaturePlacementOverlay.h"

#include <QScrollBar>
#include <QTimer>

#include <cmath>

namespace scrivola {

namespace {

// The view as the context sees it. The context's view points have their origin at the view's
// bottom-left corner, y up; the widget's are y down from the top-left.
class ViewHandle : public PDFViewHandle {
public:
    explicit ViewHandle(ScrivolaPDFView* view) : view_(view) {}
    std::optional<PDFSelection> currentSelection() const override {
        return view_ ? view_->currentSelection() : std::nullopt;
    }
    void clearSelection() override {
        if (view_) view_->clearSelection();
    }
    int pageIndexAt(const QPointF& viewPoint, bool nearest) const override {
        return view_ ? view_->pageIndexAt(toWidget(viewPoint), nearest) : -1;
    }
    QPointF convertToPage(const QPointF& viewPoint, int pageIndex) const override {
        return view_ ? view_->convertToPage(toWidget(viewPoint), pageIndex) : QPointF();
    }
    void endInlineEditing() override {
        if (view_) view_->endInlineEditing();
    }
    void toggleBulletList() override {
        if (view_) view_->toggleBulletList();
    }

private:
    QPointF toWidget(const QPointF& p) const { return QPointF(p.x(), view_->viewport()->height() - p.y()); }
    QPointer<ScrivolaPDFView> view_;
};

}  // namespace

PDFViewBridge::PDFViewBridge(PDFDocumentContext* context, ScrivolaPDFView* view)
    : QObject(view), context_(context), view_(view) {
    const auto refresh = [this] { update(); };
    connect(context, &PDFDocumentContext::currentPageChanged, this, refresh);
    connect(context, &PDFDocumentContext::zoomLevelChanged, this, refresh);
    connect(context, &PDFDocumentContext::viewChanged, this, refresh);
    connect(context, &PDFDocumentContext::documentRevisionChanged, this, [this] {
        if (context_) view_->setRevision(quint64(context_->documentRevision()));
        update();
    });
    if (PDFDocumentModel* model = context->model()) connect(model, &PDFDocumentModel::documentChanged, this, refresh);
    connect(view, &ScrivolaPDFView::boundsReady, this, [this] { applyState(); });
    // The user's scrolling and zooming go back to the context, but not the bridge's own changes.
    connect(view, &ScrivolaPDFView::currentPageChanged, this, [this](int index) {
        if (context_ && !isApplyingFit_ && index >= 0) context_->setCurrentPage(index);
    });
    connect(view, &ScrivolaPDFView::scaleFactorChanged, this, [this](double scale) {
        if (context_ && !isApplyingFit_) context_->setZoomLevel(scale);
    });
    connect(view, &ScrivolaPDFView::userZoomed, this, [this] {
        if (context_) context_->setAutoFitMode(AutoFitMode::manual);
    });
    // A selection made in highlight mode becomes highlights.
    connect(view, &ScrivolaPDFView::selectionFinished, this, [this] {
        if (context_ && context_->isHighlightMode()) context_->highlightSelection();
    });
    PDFSignaturePlacement* placement = context->signaturePlacement();
    connect(placement, &PDFSignaturePlacement::changed, this, &PDFViewBridge::updateSignaturePlacement);
    connect(view, &ScrivolaPDFView::signatureStamp, placement, &PDFSignaturePlacement::handleSignatureStamp);
    connectTools();
    applyTools();
    handle_ = std::make_shared<ViewHandle>(view);
    context->setPdfView(handle_);
    update();
}

// The view's tool gestures become the context's operations; the context's tool state (modes,
// text format, selected boxes) goes back into the view on every change.
void PDFViewBridge::connectTools() {
    PDFDocumentContext* context = context_.data();
    PDFTextBoxTool* tool = context->textTool();
    connect(tool, &PDFTextBoxTool::changed, this, &PDFViewBridge::applyTools);
    connect(context, &PDFDocumentContext::toolModesChanged, this, &PDFViewBridge::applyTools);
    // Should the tool drop its editing state without asking the view to end it, the editor
    // closes without a change, so a box being re-edited goes back on its page.
    connect(tool, &PDFTextBoxTool::inlineEditingChanged, this, [this, tool] {
        if (!tool->isInlineEditing()) view_->cancelInlineEditor();
    });
    connect(view_, &ScrivolaPDFView::annotationSelectRequested, tool, &PDFTextBoxTool::selectAnnotation);
    connect(view_, &ScrivolaPDFView::annotationToggleRequested, tool, &PDFTextBoxTool::toggleAnnotationSelection);
    connect(view_, &ScrivolaPDFView::annotationsBanded, tool, &PDFTextBoxTool::selectAnnotations);
    connect(view_, &ScrivolaPDFView::annotationSelectionCleared, tool, &PDFTextBoxTool::clearAnnotationSelection);
    connect(view_, &ScrivolaPDFView::deleteSelectedRequested, tool, &PDFTextBoxTool::deleteSelectedAnnotations);
    connect(view_, &ScrivolaPDFView::annotationMoved, tool, &PDFTextBoxTool::moveTextAnnotation);
    connect(view_, &ScrivolaPDFView::annotationDeleteRequested, tool, [this, tool](const PDFAnnotationPtr& box, int page) {
        PDFDocumentModel* model = context_ ? context_->model() : nullptr;
        const PDFPagePtr p = model && model->pdfDocument() ? model->pdfDocument()->page(page) : nullptr;
        if (p) tool->removeTextAnnotation(box, p);
    });
    connect(view_, &ScrivolaPDFView::inlineEditBegan, tool,
            [tool](int page, const QPointF&, const PDFAnnotationPtr& existing) { tool->beginInlineEditing(page, existing); });
    connect(view_, &ScrivolaPDFView::inlineEditCommitted, tool, [tool](const QString& text, const QRectF& bounds, int page) {
        tool->setEditingPageIndex(page);
        tool->confirmTextAnnotation(text, bounds);
    });
    connect(view_, &ScrivolaPDFView::inlineEditCancelled, tool, &PDFTextBoxTool::cancelInlineEditing);
    connect(view_, &ScrivolaPDFView::whiteoutRequested, context, [this](const QRectF& rect, int page) {
        if (context_) context_->applyWhiteout(rect, page);
    });
}

void PDFViewBridge::applyTools() {
    PDFDocumentContext* context = context_.data();
    if (!context) return;
    const PDFTextBoxTool* tool = context->textTool();
    PDFViewTools tools;
    tools.textAnnotationMode = tool->isTextAnnotationMode();
    tools.textSubMode = tool->textSubMode();
    tools.whiteoutMode = context->isWhiteoutMode();
    tools.font = tool->buildFont();
    tools.fontColor = tool->textFontColor();
    tools.alignment = tool->textAlignment();
    tools.underline = tool->textIsUnderline();
    tools.strikethrough = tool->textIsStrikethrough();
    tools.selectedAnnotations = tool->selectedAnnotationObjects();
    view_->setTools(tools);
}

void PDFViewBridge::update() {
    PDFDocumentContext* context = context_.data();
    PDFDocumentModel* model = context ? context->model() : nullptr;
    if (!model) return;
    if (view_->document() != model->pdfDocument()) {
        // A new document for the model (or the first one): shown from the top and fitted.
        isApplyingFit_ = true;
        view_->setDocument(model->pdfDocument(), quint64(context->documentRevision()));
        lastAppliedPage_ = -1;
        isApplyingFit_ = false;
        context->setNeedsAutoFit(true);
    }
    view_->setHandMode(!context->isTextSelectionMode());
    updateSignaturePlacement();
    if (view_->displayMode() != context->viewMode()) {
        isApplyingFit_ = true;
        view_->setDisplayMode(context->viewMode());
        isApplyingFit_ = false;
        if (context->autoFitMode() != AutoFitMode::manual) context->setNeedsAutoFit(true);
    }
    applyState();
}

void PDFViewBridge::applyState() {
    PDFDocumentContext* context = context_.data();
    if (!context) return;
    if (context->needsAutoFit()) {
        isApplyingFit_ = true;
        if (applyAutoFit()) {
            context->setNeedsAutoFit(false);
            // The view's own notices of the fit arrive before this runs and are ignored.
            QTimer::singleShot(0, this, [this] { isApplyingFit_ = false; });
        } else {
            isApplyingFit_ = false;
        }
        return;
    }
    const int page = context->currentPage();
    if (page != lastAppliedPage_ && page >= 0 && page < context->totalPages()) {
        // A page the view already shows (the user scrolled there) is not scrolled to again.
        if (view_->currentPage() != page) view_->goToPage(page);
        lastAppliedPage_ = page;
    }
    if (std::abs(context->zoomLevel() - lastAppliedScale_) > 0.001) {
        view_->setScaleFactor(context->zoomLevel());
        lastAppliedScale_ = context->zoomLevel();
    }
}

void PDFViewBridge::updateSignaturePlacement() {
    PDFDocumentContext* context = context_.data();
    const PDFSignaturePlacement* placement = context ? context->signaturePlacement() : nullptr;
    const bool placing = placement && placement->isPlacingSignature();
    view_->setSignatureStampMode(placement && placement->selectedSignatureId() && !placing);
    if (placing && !placementOverlay_) {
        placementOverlay_ = new SignaturePlacementOverlay(context, view_);
    } else if (!placing && placementOverlay_) {
        placementOverlay_->dismiss();
        placementOverlay_ = nullptr;
    }
}

bool PDFViewBridge::applyAutoFit() {
    PDFDocumentContext* context = context_.data();
    const auto& document = view_->document();
    const int index = view_->currentPage();
    const PDFPagePtr page = document && index >= 0 ? document->page(index) : nullptr;
    // Nothing is fitted before the view has its first real size.
    if (!context || !page || !view_->isBoundsReady()) return false;
    // The page as it is shown (crop box, turned): a turned page is fitted by its turned width.
    const QSizeF size = page->rotatedSize();
    const QSize viewSize = view_->viewport()->size();
    if (!(size.width() > 0) || !(size.height() > 0) || viewSize.width() <= 20 || viewSize.height() <= 20) return false;
    const double availableWidth = viewSize.width() - 20.0;
    const double availableHeight = viewSize.height() - 20.0;
    const double width = isTwoUp(context->viewMode()) ? 2 * size.width() + 10 : size.width();
    double scale = 0;
    switch (context->autoFitMode()) {
    case AutoFitMode::fitWidth: scale = availableWidth / width; break;
    case AutoFitMode::fitPage: scale = std::min(availableHeight / size.height(), availableWidth / width); break;
    case AutoFitMode::manual: return true;
    }
    view_->setScaleFactor(scale);
    lastAppliedScale_ = view_->scaleFactor();
    context->setZoomLevel(lastAppliedScale_);
    return true;
}

}  // namespace scrivola
