// Signature and stamp placement: choosing an item, the placement in progress, and burning the
// picture into a page.

#include "pdf/PDFDocumentContext.h"

#include "pdf/PDFPageSwap.h"
#include "pdf/engine/PDFPageReplacement.h"

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {

bool isUsableSize(double width, double height) {
    return std::isfinite(width) && std::isfinite(height) && width > 0 && height > 0;
}

// A size as the page is shown from one in page space, and back: a quarter turn swaps the sides.
QSizeF turned(const QSizeF& size, const PDFPage& page) {
    return page.rotation() % 180 == 0 ? size : size.transposed();
}

}  // namespace

void PDFDocumentContext::toggleSignatureSelection(const QUuid& id) {
    textTool_->endInlineEditing();
    if (selectedSignatureId_ && *selectedSignatureId_ == id)
        setSelectedSignatureId(std::nullopt);
    else
        setSelectedSignatureId(id);
    cancelSignaturePlacement();
}

void PDFDocumentContext::cancelSignaturePlacement() {
    signaturePlacementPage_.reset();
    setPlacingSignature(false);
    setPlacingSignatureImage(QImage());
}

QRectF PDFDocumentContext::fitOnPage(const QRectF& rect, const QRectF& box) {
    QRectF fitted = rect.normalized();
    if (fitted.width() > box.width() || fitted.height() > box.height()) {
        const double factor = std::min(box.width() / fitted.width(), box.height() / fitted.height());
        const QPointF centre = fitted.center();
        fitted.setSize(fitted.size() * factor);
        fitted.moveCenter(centre);
    }
    // (max before min: rounding may leave the fitted size a hair over the box's.)
    fitted.moveLeft(std::min(std::max(fitted.left(), box.left()), box.right() - fitted.width()));
    fitted.moveTop(std::min(std::max(fitted.top(), box.top()), box.bottom() - fitted.height()));
    return fitted;
}

void PDFDocumentContext::handleSignatureStamp(const QPointF& pagePoint, int pageIndex) {
    SignatureStorageService* storage = signatureStorage_.data();
    PDFDocumentModel* model = model_.data();
    if (!selectedSignatureId_ || !storage || !model) return;
    const PDFPagePtr page = model->pdfDocument()->page(pageIndex);
    if (!page || !std::isfinite(pagePoint.x()) || !std::isfinite(pagePoint.y())) return;
    const std::optional<StoredSignature> item = storage->find(*selectedSignatureId_);
    if (!item || item->image.isNull()) return;

    // The remembered size is in view points at the zoom it was placed at, as the page is shown;
    // one that is not a real size (a damaged record) falls back to the default.
    QSizeF shown(item->lastWidth, item->lastHeight);
    if (!isUsableSize(shown.width(), shown.height())) shown = QSizeF(StoredSignature::defaultWidth, StoredSignature::defaultHeight);
    const double zoom = zoomLevel_ > 0 ? zoomLevel_ : 1.0;
    shown = (shown / zoom).expandedTo(QSizeF(kMinimumSignatureWidth, kMinimumSignatureHeight));
    QRectF rect(QPointF(), turned(shown, *page));
    rect.moveCenter(pagePoint);

    signaturePlacementPage_ = page;
    setPlacingSignatureImage(item->image);
    setSignaturePlacementPageIndex(pageIndex);
    setSignaturePageRect(fitOnPage(rect, page->bounds(PDFBox::cropBox)));
    setPlacingSignature(true);
}

void PDFDocumentContext::moveSignaturePlacement(const QRectF& pageRect) {
    if (!isPlacingSignature_ || !signaturePlacementPage_) return;
    const QRectF rect = pageRect.normalized();
    if (!isUsableSize(rect.width(), rect.height()) || !std::isfinite(rect.left()) || !std::isfinite(rect.top())) return;
    setSignaturePageRect(fitOnPage(rect, signaturePlacementPage_->bounds(PDFBox::cropBox)));
}

void PDFDocumentContext::followSignaturePlacementPage() {
    PDFDocumentModel* model = model_.data();
    if (!isPlacingSignature_ || !signaturePlacementPage_) return;
    const int index = model ? model->pdfDocument()->index(*signaturePlacementPage_) : -1;
    if (index < 0) {
        cancelSignaturePlacement();
        return;
    }
    setSignaturePlacementPageIndex(index);
    setSignaturePageRect(fitOnPage(signaturePageRect_, signaturePlacementPage_->bounds(PDFBox::cropBox)));
}

void PDFDocumentContext::confirmSignaturePlacement() {
    PDFDocumentModel* model = model_.data();
    const PDFPagePtr page = signaturePlacementPage_;
    const QImage image = placingSignatureImage_;
    const QRectF rect = signaturePageRect_;
    if (!image.isNull() && page && model && model->pdfDocument()->index(*page) == signaturePlacementPageIndex_) {
        // Remembered as shown at the current zoom, so the next placement looks the same size.
        if (selectedSignatureId_ && signatureStorage_) {
            const QSizeF shown = turned(rect.size(), *page) * (zoomLevel_ > 0 ? zoomLevel_ : 1.0);
            signatureStorage_->updateLastSize(*selectedSignatureId_, shown.width(), shown.height());
        }
        flattenSignature(image, rect, signaturePlacementPageIndex_);
    }
    // The item stays selected, so it can be placed again at once.
    cancelSignaturePlacement();
}

bool PDFDocumentContext::flattenSignature(const QImage& image, const QRectF& rect, int index) {
    // An open text-box editor ends first: a box being re-edited is off its page and would be lost.
    textTool_->endInlineEditing();
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
