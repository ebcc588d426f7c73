#include "ui/TabPages.h"

#include "annotation/view/AnnotationsSidebarView.h"
#include "image/ImageDocumentContext.h"
#include "image/view/ImageThumbnailSidebarView.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/view/PDFViewBridge.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "signature/view/SignatureSidebarView.h"
#include "thumbnails/view/ThumbnailSidebarView.h"

#include <QVBoxLayout>

#include <numeric>

namespace scrivola {

namespace {
// The first width of the right-hand sidebars.
constexpr int kRightSidebarWidth = 280;
}  // namespace

void placeSidebar(QSplitter* splitter, QWidget* sidebar, bool visible, double width) {
    const int index = splitter->indexOf(sidebar);
    if (index < 0) return;
    sidebar->setVisible(visible);
    if (!visible) return;
    QList<int> sizes = splitter->sizes();
    const int wanted = std::max(sidebar->minimumSizeHint().width(), int(width));
    if (sizes.value(index) == wanted) return;
    // The room comes from (or goes back to) the widget that stretches: the viewer.
    int viewer = 0;
    for (int i = 0; i < splitter->count(); ++i)
        if (splitter->widget(i)->sizePolicy().horizontalStretch() > 0) viewer = i;
    const int total = std::accumulate(sizes.begin(), sizes.end(), 0);
    sizes[viewer] = std::max(1, sizes[viewer] + sizes[index] - wanted);
    sizes[index] = wanted;
    if (total > 0) splitter->setSizes(sizes);
}

PdfTabPage::PdfTabPage(PDFDocumentContext* context, SignatureStorageService* storage, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), context_(context), storage_(storage) {
    thumbnails_ = new ThumbnailSidebarView(context, this);
    view_ = new ScrivolaPDFView(this);
    addWidget(thumbnails_);
    addWidget(view_);
    setStretchFactor(1, 1);
    setChildrenCollapsible(false);
    new PDFViewBridge(context, view_);
    placePanels();
    connect(context, &PDFDocumentContext::panelsChanged, this, &PdfTabPage::placePanels);
    // Dragging the divider beside the thumbnails sets the context's width.
    connect(this, &QSplitter::splitterMoved, context, [this] {
        if (context_ && thumbnails_->isVisible()) context_->setSidebarWidth(sizes().value(indexOf(thumbnails_)));
    });
}

void PdfTabPage::placePanels() {
    if (!context_) return;
    placeSidebar(this, thumbnails_, context_->isSidebarVisible(), context_->sidebarWidth());
    if (context_->isAnnotationsSidebarVisible() && !annotations_) {
        annotations_ = new AnnotationsSidebarView(context_, this);
        addWidget(annotations_);
        placeSidebar(this, annotations_, true, kRightSidebarWidth);
    }
    if (context_->isSignatureSidebarVisible() && !signatures_) {
        signatures_ = new SignatureSidebarView(context_, storage_, this);
        addWidget(signatures_);
        placeSidebar(this, signatures_, true, kRightSidebarWidth);
    }
    if (annotations_) annotations_->setVisible(context_->isAnnotationsSidebarVisible());
    if (signatures_) signatures_->setVisible(context_->isSignatureSidebarVisible());
}

ImageTabPage::ImageTabPage(ImageDocumentContext* context, QWidget* parent) : QWidget(parent), context_(context) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    strip_ = new ImageThumbnailSidebarView(context, splitter_);
    splitter_->addWidget(strip_);
    layout->addWidget(splitter_, 1);
    placeStrip();
    connect(context, &ImageDocumentContext::sidebarVisibleChanged, this, &ImageTabPage::placeStrip);
    connect(context, &ImageDocumentContext::sidebarWidthChanged, this, &ImageTabPage::placeStrip);
    connect(splitter_, &QSplitter::splitterMoved, context, [this] {
        if (context_ && strip_->isVisible()) context_->setSidebarWidth(splitter_->sizes().value(0));
    });
}

ImageTabPage::~ImageTabPage() { returnCanvas(); }

void ImageTabPage::returnCanvas() {
    if (canvas_ && canvas_->parentWidget() == splitter_) {
        canvas_->hide();
        canvas_->setParent(canvasHome_ ? canvasHome_.data() : parentWidget());
    }
}

void ImageTabPage::adoptCanvas(QWidget* canvas) {
    if (splitter_->indexOf(canvas) >= 0) return;
    // Another pane's canvas still here goes back to its pane first.
    if (canvas_ != canvas) returnCanvas();
    canvas_ = canvas;
    canvasHome_ = canvas->parentWidget();
    splitter_->addWidget(canvas);
    splitter_->setStretchFactor(1, 1);
    canvas->show();
    placeStrip();
}

void ImageTabPage::placeStrip() {
    if (context_) placeSidebar(splitter_, strip_, context_->isSidebarVisible(), context_->sidebarWidth());
}

}  // namespace scrivola
