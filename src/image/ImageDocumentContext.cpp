#include "image/ImageDocumentContext.h"

#include "workspace/DocumentTypes.h"

#include <QFileInfo>

#include <algorithm>
#include <functional>

namespace scrivola {

ImageDocumentContext::ImageDocumentContext(ImageDocumentModel* model, QObject* parent)
    : DocumentContext(parent), model_(model) {
    if (model_ && model_->count() >= 2) isSidebarVisible_ = true;
    if (model_) {
        model_->setShownIndex(shownIndex());
        connect(model_, &ImageDocumentModel::entryRemoved, this, &ImageDocumentContext::entryRemoved);
    }
}

void ImageDocumentContext::entryRemoved(int index) {
    QSet<int> selection;
    for (const int selected : std::as_const(selectedImages_))
        if (selected != index) selection.insert(selected > index ? selected - 1 : selected);
    setSelectedImages(selection);
    const int current = currentPage_;
    const int next = std::clamp(index < current ? current - 1 : current, 0, std::max(0, totalPages() - 1));
    if (next != current) {
        setCurrentPage(next);
    } else if (index == current) {
        // Same number, another image: the one that took the removed one's place.
        if (model_) model_->setShownIndex(shownIndex());
        emit currentPageChanged();
    }
    if (index != current) return;
    // The image now shown is fitted whole, as after turning a page.
    setImageFitMode(ImageFitMode::fitPage);
    setNeedsAutoFit(true);
}

int ImageDocumentContext::totalPages() const { return model_ ? model_->count() : 0; }

void ImageDocumentContext::setCurrentPage(int page) {
    if (currentPage_ == page) return;
    currentPage_ = page;
    if (model_) model_->setShownIndex(shownIndex());
    emit currentPageChanged();
}

void ImageDocumentContext::goToPage(int index) {
    // Upper bound first, then negative results (also of an empty collection) become 0.
    const int clamped = std::max(std::min(index, totalPages() - 1), 0);
    if (clamped == currentPage_) return;
    setCurrentPage(clamped);
    // Every change of image shows the new image fitted whole.
    setImageFitMode(ImageFitMode::fitPage);
    setNeedsAutoFit(true);
}

void ImageDocumentContext::goToNextPage() {
    if (currentPage_ < totalPages() - 1) goToPage(currentPage_ + 1);
}

void ImageDocumentContext::goToPreviousPage() {
    if (currentPage_ >= 1) goToPage(currentPage_ - 1);
}

void ImageDocumentContext::setZoomLevel(double level) {
    if (zoomLevel_ == level) return;
    zoomLevel_ = level;
    emit zoomLevelChanged();
}

void ImageDocumentContext::zoomIn() {
    setImageFitMode(ImageFitMode::manual);
    setZoomLevel(Zoom::steppedIn(zoomLevel_));
}

void ImageDocumentContext::zoomOut() {
    setImageFitMode(ImageFitMode::manual);
    setZoomLevel(Zoom::steppedOut(zoomLevel_));
}

void ImageDocumentContext::zoomToFit() {
    setImageFitMode(ImageFitMode::fitPage);
    setNeedsAutoFit(true);
}

void ImageDocumentContext::zoomToActualSize() {
    setImageFitMode(ImageFitMode::manual);
    setZoomLevel(1.0);
}

void ImageDocumentContext::setImageFitMode(ImageFitMode mode) {
    if (imageFitMode_ == mode) return;
    imageFitMode_ = mode;
    emit imageFitModeChanged(imageFitMode_);
}

void ImageDocumentContext::applyFitMode(ImageFitMode mode) {
    setImageFitMode(mode);
    setNeedsAutoFit(true);
}

void ImageDocumentContext::setNeedsAutoFit(bool needed) {
    if (needsAutoFit_ == needed) return;
    needsAutoFit_ = needed;
    emit needsAutoFitChanged(needsAutoFit_);
}

std::optional<double> ImageDocumentContext::autoFitScale(QSizeF imageSize, QSizeF visibleSize) const {
    if (imageSize.width() <= 0 || imageSize.height() <= 0) return std::nullopt;
    double scale = zoomLevel_;
    switch (imageFitMode_) {
    case ImageFitMode::fitPage:
        scale = std::min(visibleSize.width() / imageSize.width(), visibleSize.height() / imageSize.height());
        break;
    case ImageFitMode::fitWidth: scale = visibleSize.width() / imageSize.width(); break;
    case ImageFitMode::manual: return zoomLevel_;
    }
    // A fit never enlarges: an image smaller than the view shows at its actual size.
    return std::clamp(std::min(scale, 1.0), Zoom::kMinimum, Zoom::kMaximum);
}

bool ImageDocumentContext::performAutoFit(QSizeF imageSize, QSizeF visibleSize) {
    const std::optional<double> scale = autoFitScale(imageSize, visibleSize);
    if (!scale) return false;
    if (imageFitMode_ != ImageFitMode::manual) setZoomLevel(*scale);
    setNeedsAutoFit(false);
    return true;
}

int ImageDocumentContext::shownIndex() const {
    const int total = totalPages();
    if (total == 0) return -1;
    return currentPage_ >= 0 && currentPage_ < total ? currentPage_ : 0;
}

QImage ImageDocumentContext::shownImage() const {
    const int index = shownIndex();
    return index < 0 ? QImage() : model_->image(index);
}

QString ImageDocumentContext::currentFileName() const {
    if (!model_ || currentPage_ < 0 || currentPage_ >= model_->count()) return {};
    return QFileInfo(model_->entries().at(currentPage_).url).fileName();
}

QString ImageDocumentContext::imageCountText() const {
    return QString::number(totalPages()) + QStringLiteral(" images");
}

void ImageDocumentContext::setSidebarVisible(bool visible) {
    if (isSidebarVisible_ == visible) return;
    isSidebarVisible_ = visible;
    emit sidebarVisibleChanged(visible);
}

void ImageDocumentContext::setSidebarWidth(double width) {
    if (sidebarWidth_ == width) return;
    sidebarWidth_ = width;
    emit sidebarWidthChanged(width);
}

void ImageDocumentContext::setCompressSheetVisible(bool visible) {
    if (isCompressSheetVisible_ == visible) return;
    isCompressSheetVisible_ = visible;
    emit compressSheetVisibleChanged(visible);
}

void ImageDocumentContext::setSelectedImages(const QSet<int>& indices) {
    if (selectedImages_ == indices) return;
    selectedImages_ = indices;
    emit selectedImagesChanged();
}

void ImageDocumentContext::toggleImageSelection(int index) {
    if (!selectedImages_.remove(index)) selectedImages_.insert(index);
    emit selectedImagesChanged();
}

void ImageDocumentContext::extendImageSelection(int index) {
    const int from = std::min(currentPage_, index);
    const int to = std::max(currentPage_, index);
    const qsizetype before = selectedImages_.size();
    for (int i = from; i <= to; ++i) selectedImages_.insert(i);
    if (selectedImages_.size() != before) emit selectedImagesChanged();
}

QList<int> ImageDocumentContext::exportTargetIndices() const {
    if (selectedImages_.isEmpty()) return {currentPage_};
    QList<int> indices(selectedImages_.begin(), selectedImages_.end());
    std::sort(indices.begin(), indices.end());
    return indices;
}

std::set<int> ImageDocumentContext::exportTargets() const {
    const QList<int> indices = exportTargetIndices();
    return {indices.begin(), indices.end()};
}

bool ImageDocumentContext::canDeleteImages(const QSet<int>& indices) const {
    qsizetype inRange = 0;
    for (const int index : indices) inRange += index >= 0 && index < totalPages() ? 1 : 0;
    return inRange > 0 && inRange < totalPages();
}

void ImageDocumentContext::deleteImages(const QSet<int>& indices) {
    if (!model_ || !canDeleteImages(indices)) return;
    QList<int> descending(indices.begin(), indices.end());
    std::sort(descending.begin(), descending.end(), std::greater<>());
    // Each removal moves the current page and the selection along (entryRemoved).
    for (const int index : std::as_const(descending))
        if (index >= 0 && index < model_->count()) model_->removeEntry(index);
    model_->markCollectionEdited();
    setSelectedImages({});
    setNeedsAutoFit(true);
}

bool ImageDocumentContext::addDroppedFiles(const QStringList& paths) {
    if (!model_) return false;
    QStringList images;
    for (const QString& path : paths)
        if (DocumentTypes::from(path) == DocumentType::image) images << path;
    if (images.isEmpty()) return false;
    const int previous = model_->count();
    model_->addImages(images);
    if (model_->count() <= previous) return false;
    goToPage(previous);
    return true;
}

void ImageDocumentContext::rotateImageAt(int index, int degrees) {
    if (!model_ || index < 0 || index >= model_->count()) return;
    // The step names the entry, not its place: entries before it may leave the collection.
    const quint64 id = model_->entries().at(index).id;
    const auto rotate = [this, id](int by) {
        return [this, id, by] {
            const int at = model_ ? model_->indexOf(id) : -1;
            const QImage source = at >= 0 ? model_->image(at) : QImage();
            // An image whose pixels cannot be decoded is left alone: nothing to turn, nothing to undo.
            if (source.isNull()) return false;
            // The model's rotation turns counterclockwise for positive angles.
            model_->replaceImage(rotated(source, -double(by)), at);
            setNeedsAutoFit(true);
            return true;
        };
    };
    commitEdit(QStringLiteral("Rotate Image"), rotate(degrees), rotate(-degrees));
}

// The model keeps the flag itself: every replaced image marks its entry, and so the collection,
// modified.
void ImageDocumentContext::markDocumentModified() {}

}  // namespace scrivola
