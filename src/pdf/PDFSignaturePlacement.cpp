// Signature and stamp placement: choosing an item, the placement in progress, and burning the
// picture into a page.

#include "pdf/PDFSignaturePlacement.h"

#include "pdf/PDFDocumentContext.h"

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

PDFSignaturePlacement::PDFSignaturePlacement(PDFDocumentContext* context) : QObject(context), context_(context) {
    // A placement in progress follows its page through edits, and ends with it or when the model
    // is given another document. Connected as the context is made, so the placement is right
    // before views hear of an edit.
    connect(context, &DocumentContext::documentRevisionChanged, this, &PDFSignaturePlacement::followPlacementPage);
    if (PDFDocumentModel* model = context->model())
        connect(model, &PDFDocumentModel::documentChanged, this, &PDFSignaturePlacement::followPlacementPage);
}

void PDFSignaturePlacement::setPlacement(int pageIndex, const QRectF& pageRect) {
    signaturePlacementPageIndex_ = pageIndex;
    signaturePageRect_ = pageRect;
    emit changed();
}

void PDFSignaturePlacement::toggleSignatureSelection(const QUuid& id) {
    context_->textTool()->endInlineEditing();
    if (selectedSignatureId_ && *selectedSignatureId_ == id)
        selectedSignatureId_.reset();
    else
        selectedSignatureId_ = id;
    cancelSignaturePlacement();
}

void PDFSignaturePlacement::cancelSignaturePlacement() {
    signaturePlacementPage_.reset();
    isPlacingSignature_ = false;
    placingSignatureImage_ = QImage();
    emit placingSignatureImageChanged();
    emit changed();
}

void PDFSignaturePlacement::clearSignatureSelection() {
    selectedSignatureId_.reset();
    cancelSignaturePlacement();
}

bool PDFSignaturePlacement::deleteSignature(const QUuid& id) {
    SignatureStorageService* storage = context_->signatureStorage();
    const bool deleted = storage && storage->remove(id);
    if (deleted && selectedSignatureId_ == id) selectedSignatureId_.reset();
    cancelSignaturePlacement();
    return deleted;
}

QString PDFSignaturePlacement::trimmedName(const QString& text) {
    const auto isBlank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}

bool PDFSignaturePlacement::renameSignature(const QUuid& id, const QString& text) {
    SignatureStorageService* storage = context_->signatureStorage();
    const QString name = trimmedName(text);
    return storage && !name.isEmpty() && storage->rename(id, name);
}

QRectF PDFSignaturePlacement::fitOnPage(const QRectF& rect, const QRectF& box) {
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

void PDFSignaturePlacement::handleSignatureStamp(const QPointF& pagePoint, int pageIndex) {
    SignatureStorageService* storage = context_->signatureStorage();
    PDFDocumentModel* model = context_->model();
    if (!selectedSignatureId_ || !storage || !model) return;
    const PDFPagePtr page = model->pdfDocument()->page(pageIndex);
    if (!page || !std::isfinite(pagePoint.x()) || !std::isfinite(pagePoint.y())) return;
    const std::optional<StoredSignature> item = storage->find(*selectedSignatureId_);
    if (!item || item->image.isNull()) return;

    // The remembered size is in view points at the zoom it was placed at, as the page is shown;
    // one that is not a real size (a damaged record) falls back to the default.
    QSizeF shown(item->lastWidth, item->lastHeight);
    if (!isUsableSize(shown.width(), shown.height())) shown = QSizeF(StoredSignature::defaultWidth, StoredSignature::defaultHeight);
    const double zoom = context_->zoomLevel() > 0 ? context_->zoomLevel() : 1.0;
    shown = (shown / zoom).expandedTo(QSizeF(kMinimumSignatureWidth, kMinimumSignatureHeight));
    QRectF rect(QPointF(), turned(shown, *page));
    rect.moveCenter(pagePoint);

    signaturePlacementPage_ = page;
    placingSignatureImage_ = item->image;
    emit placingSignatureImageChanged();
    isPlacingSignature_ = true;
    setPlacement(pageIndex, fitOnPage(rect, page->bounds(PDFBox::cropBox)));
}

void PDFSignaturePlacement::moveSignaturePlacement(const QRectF& pageRect) {
    if (!isPlacingSignature_ || !signaturePlacementPage_) return;
    const QRectF rect = pageRect.normalized();
    if (!isUsableSize(rect.width(), rect.height()) || !std::isfinite(rect.left()) || !std::isfinite(rect.top())) return;
    setPlacement(signaturePlacementPageIndex_, fitOnPage(rect, signaturePlacementPage_->bounds(PDFBox::cropBox)));
}

void PDFSignaturePlacement::followPlacementPage() {
    PDFDocumentModel* model = context_->model();
    if (!isPlacingSignature_ || !signaturePlacementPage_) return;
    const int index = model ? model->pdfDocument()->index(*signaturePlacementPage_) : -1;
    if (index < 0) {
        cancelSignaturePlacement();
        return;
    }
    setPlacement(index, fitOnPage(signaturePageRect_, signaturePlacementPage_->bounds(PDFBox::cropBox)));
}

void PDFSignaturePlacement::confirmSignaturePlacement() {
    PDFDocumentModel* model = context_->model();
    const PDFPagePtr page = signaturePlacementPage_;
    const QImage image = placingSignatureImage_;
    const QRectF rect = signaturePageRect_;
    if (!image.isNull() && page && model && model->pdfDocument()->index(*page) == signaturePlacementPageIndex_) {
        // Remembered as shown at the current zoom, so the next placement looks the same size.
        if (SignatureStorageService* storage = context_->signatureStorage(); selectedSignatureId_ && storage) {
            const double zoom = context_->zoomLevel() > 0 ? context_->zoomLevel() : 1.0;
            const QSizeF shown = turned(rect.size(), *page) * zoom;
            storage->updateLastSize(*selectedSignatureId_, shown.width(), shown.height());
        }
        context_->flattenSignature(image, rect, signaturePlacementPageIndex_);
    }
    // The item stays selected, so it can be placed again at once.
    cancelSignaturePlacement();
}

}  // namespace scrivola
