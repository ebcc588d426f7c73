#include "thumbnails/view/ThumbnailRenderer.h"

#include "pdf/PDFDocumentContext.h"

#include <algorithm>
#include <cmath>

namespace scrivola {

ThumbnailRenderer::ThumbnailRenderer(PDFDocumentContext* context, QObject* parent)
    : QObject(parent), context_(context), scheduler_(PDFRenderScheduler::application()) {
    connect(scheduler_, &PDFRenderScheduler::rendered, this, [this](const RenderRequest& request) {
        if (documentId_ != 0 && request.document == documentId_) emit rendered(request.page);
    });
    connect(context, &DocumentContext::documentRevisionChanged, this, [this] {
        forgetSizes();
        if (scheduler_ && documentId_) scheduler_->setRevision(documentId_, quint64(revision()));
        emit revisionChanged();
    });
    // A replaced document has nothing in common with the pictures drawn so far.
    if (PDFDocumentModel* model = context->model())
        connect(model, &PDFDocumentModel::documentChanged, this, [this] {
            registerDocument();
            emit revisionChanged();
        });
    registerDocument();
}

ThumbnailRenderer::~ThumbnailRenderer() {
    if (scheduler_ && documentId_) scheduler_->removeDocument(documentId_);
}

void ThumbnailRenderer::registerDocument() {
    forgetSizes();
    if (!scheduler_) return;
    if (documentId_) scheduler_->removeDocument(documentId_);
    // Display lists are taken on the main thread, from the document the model holds now.
    documentId_ = scheduler_->addDocument([context = context_](int page) -> std::shared_ptr<const PDFDisplayList> {
        PDFDocumentModel* model = context ? context->model() : nullptr;
        const PDFPagePtr p = model ? model->pdfDocument()->page(page) : nullptr;
        return p ? std::shared_ptr<const PDFDisplayList>(p->displayList()) : nullptr;
    });
    scheduler_->setRevision(documentId_, quint64(revision()));
}

void ThumbnailRenderer::forgetSizes() { sizes_.assign(size_t(std::max(0, pageCount())), QSizeF()); }

int ThumbnailRenderer::pageCount() const { return context_ ? context_->totalPages() : 0; }

int ThumbnailRenderer::revision() const { return context_ ? context_->documentRevision() : 0; }

bool ThumbnailRenderer::isMeasured(int page) const {
    return page >= 0 && page < int(sizes_.size()) && !sizes_[size_t(page)].isEmpty();
}

QSizeF ThumbnailRenderer::pageSize(int page) {
    if (page < 0 || page >= int(sizes_.size())) return {};
    QSizeF& size = sizes_[size_t(page)];
    if (size.isEmpty() && context_ && context_->model())
        if (const PDFPagePtr p = context_->model()->pdfDocument()->page(page)) size = p->rotatedSize();
    return size;
}

double ThumbnailRenderer::pictureScale(const QSizeF& page, const QSizeF& frame, double devicePixelRatio) {
    if (page.isEmpty() || frame.isEmpty()) return 0;
    // Twice the frame's point size, or its device pixels where a screen has more.
    const double factor = std::max(2.0, devicePixelRatio);
    return std::min(factor * frame.width() / page.width(), factor * frame.height() / page.height());
}

RenderRequest ThumbnailRenderer::requestFor(int page, const QSizeF& frame, double devicePixelRatio) {
    const QSizeF size = pageSize(page);
    const double scale = pictureScale(size, frame, devicePixelRatio);
    if (scale <= 0) return {};
    // The whole picture, as the engine rounds its size.
    const QRect area(0, 0, int(std::ceil(size.width() * scale - 0.001)), int(std::ceil(size.height() * scale - 0.001)));
    return RenderRequest{page, quint64(revision()), scale, area, RenderPriority::thumbnail, documentId_};
}

void ThumbnailRenderer::cancelExcept(const std::vector<RenderRequest>& wanted) {
    if (scheduler_ && documentId_) scheduler_->cancelExcept(documentId_, wanted);
}

}  // namespace scrivola
