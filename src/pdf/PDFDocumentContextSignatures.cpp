// Signature and stamp placement: choosing an item, the placement in progress, and burning the
// picture into a page.

#include "pdf/PDFDocumentContext.h"

#include "pdf/PDFPageSwap.h"
#include "pdf/engine/PDFPageReplacement.h"

#include <cmath>

namespace scrivola {

namespace {

bool isUsableSize(double width, double height) {
    return std::isfinite(width) && std::isfinite(height) && width > 0 && height > 0;
}

}  // namespace

void PDFDocumentContext::toggleSignatureSelection(const QUuid& id) {
    if (selectedSignatureId_ && *selectedSignatureId_ == id)
        setSelectedSignatureId(std::nullopt);
    else
        setSelectedSignatureId(id);
    cancelSignaturePlacement();
}

void PDFDocumentContext::cancelSignaturePlacement() {
    setPlacingSignature(false);
    setPlacingSignatureImage(QImage());
}

void PDFDocumentContext::handleSignatureStamp(const QPointF& viewPoint, int pageIndex) {
    SignatureStorageService* storage = signatureStorage_.data();
    if (!selectedSignatureId_ || !storage) return;
    const std::optional<StoredSignature> item = storage->find(*selectedSignatureId_);
    if (!item || item->image.isNull()) return;

    // A remembered size that is not a real size (a damaged record) falls back to the default.
    QSizeF size(item->lastWidth, item->lastHeight);
    if (!isUsableSize(size.width(), size.height())) size = QSizeF(StoredSignature::defaultWidth, StoredSignature::defaultHeight);
    setPlacingSignatureImage(item->image);
    setSignatureSize(size);
    // Centred on the click.
    setSignatureViewPosition(QPointF(viewPoint.x() - size.width() / 2, viewPoint.y() - size.height() / 2));
    setSignaturePlacementPageIndex(pageIndex);
    setPlacingSignature(true);
}

void PDFDocumentContext::confirmSignaturePlacement() {
    const std::shared_ptr<PDFViewHandle> view = pdfView();
    PDFDocumentModel* model = model_.data();
    if (placingSignatureImage_.isNull() || !view || !model) return;

    const QImage image = placingSignatureImage_;
    const QSizeF size = signatureSize_;
    if (isUsableSize(size.width(), size.height())) {
        // The picture goes onto the page under its centre; a picture whose centre lies outside
        // every page changes nothing.
        const QPointF origin = signatureViewPosition_;
        const QPointF centre(origin.x() + size.width() / 2, origin.y() + size.height() / 2);
        const int pageIndex = view->pageIndexAt(centre, false);
        if (pageIndex >= 0) {
            const QPointF a = view->convertToPage(origin, pageIndex);
            const QPointF b = view->convertToPage(QPointF(origin.x() + size.width(), origin.y() + size.height()), pageIndex);
            const QRectF rect(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                              QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
            // The remembered size is the size in view points at the current zoom.
            if (selectedSignatureId_ && signatureStorage_)
                signatureStorage_->updateLastSize(*selectedSignatureId_, size.width(), size.height());
            flattenSignature(image, rect, pageIndex);
        }
    }
    // The item stays selected, so it can be placed again at once.
    setPlacingSignatureImage(QImage());
    setPlacingSignature(false);
}

bool PDFDocumentContext::flattenSignature(const QImage& image, const QRectF& rect, int index) {
    PDFDocumentModel* model = model_.data();
    if (!model || image.isNull()) return false;
    const PDFPagePtr page = model->pdfDocument()->page(index);
    if (!page) return false;
    const QRectF target = rect.normalized();
    if (!isUsableSize(target.width(), target.height())) return false;
    // Only a picture that shows on the page changes it.
    if (!target.intersects(page->bounds(PDFBox::cropBox))) return false;

    return commitPageReplacement(QStringLiteral("Place Signature"), page,
                                 [&] { return PDFPageReplacement::copyWithImage(*page, image, target); });
}

}  // namespace scrivola
