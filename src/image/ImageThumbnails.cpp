// Thumbnails of the entries for lists of images: made on the model's decoder pool one at a time,
// behind the full images, and kept in a small cache by entry id.
#include "image/ImageDocumentModel.h"

#include "image/codec/ImageCodec.h"

#include <QMetaObject>

#include <algorithm>

namespace scrivola {

namespace {

// Requests beyond this many are forgotten, the oldest first: they are for cells scrolled away.
constexpr size_t kMaxWaitingThumbnails = 48;
// Below the default priority (0) of full-image decodes, which are for the image on screen.
constexpr int kThumbnailPriority = -1;

QImage makeThumbnail(const QString& path, const QImage& pixels, QSize bound) {
    try {
        QImage small;
        if (pixels.isNull()) {
            small = ImageCodec::decodeThumbnail(path, bound);
        } else {
            const QSize size = pixels.size();
            small = size.width() <= bound.width() && size.height() <= bound.height()
                        ? pixels
                        : ImageDrawing::scaled(pixels, size.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
        }
        return ImageCodec::toDisplayColorSpace(small);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

void ImageDocumentModel::setThumbnailBound(QSize pixels) {
    pixels = pixels.expandedTo(QSize(1, 1));
    if (pixels == thumbnailBound_) return;
    thumbnailBound_ = pixels;
    thumbnails_.clear();
    for (EntryState& state : states_) state.thumbnailFailed = false;
}

QImage ImageDocumentModel::thumbnail(int index) {
    if (index < 0 || index >= count()) return {};
    return thumbnails_.find(entries_[index].id);
}

bool ImageDocumentModel::hasThumbnailFailed(int index) const {
    return index >= 0 && index < count() && states_[size_t(index)].thumbnailFailed;
}

void ImageDocumentModel::requestThumbnail(int index) {
    if (index < 0 || index >= count()) return;
    const quint64 id = entries_[index].id;
    if (states_[size_t(index)].thumbnailFailed || thumbnails_.contains(id)) return;
    // A request made again moves to the front.
    thumbnailQueue_.erase(std::remove(thumbnailQueue_.begin(), thumbnailQueue_.end(), id), thumbnailQueue_.end());
    thumbnailQueue_.push_front(id);
    if (thumbnailQueue_.size() > kMaxWaitingThumbnails) thumbnailQueue_.pop_back();
    startNextThumbnail();
}

void ImageDocumentModel::startNextThumbnail() {
    while (!isThumbnailRunning_ && !thumbnailQueue_.empty()) {
        const quint64 id = thumbnailQueue_.front();
        thumbnailQueue_.pop_front();
        const int index = indexOf(id);
        if (index < 0 || thumbnails_.contains(id)) continue;
        const ImageEntry& entry = entries_[index];
        // Pixels already in memory (an edit, the image on screen) are scaled instead of decoding
        // the file again; an edit exists nowhere else.
        const QImage pixels = cachedImage(index);
        const QString path = entry.url;
        const quint64 generation = states_[size_t(index)].generation;
        const QSize bound = thumbnailBound_;
        isThumbnailRunning_ = true;
        decoders_.start(
            [this, id, generation, bound, path, pixels] {
                const QImage small = makeThumbnail(path, pixels, bound);
                QMetaObject::invokeMethod(
                    this, [this, id, generation, bound, small] { finishThumbnail(id, generation, bound, small); },
                    Qt::QueuedConnection);
            },
            kThumbnailPriority);
    }
}

void ImageDocumentModel::finishThumbnail(quint64 id, quint64 generation, QSize bound, const QImage& small) {
    isThumbnailRunning_ = false;
    const int index = indexOf(id);
    if (index >= 0) {
        EntryState& state = states_[size_t(index)];
        if (state.generation != generation || bound != thumbnailBound_) {
            // Made from pixels or for a size that are gone: the cell asked for the new ones.
            thumbnailQueue_.push_front(id);
        } else {
            if (small.isNull())
                state.thumbnailFailed = true;
            else
                thumbnails_.insert(id, small);
            emit thumbnailReady(index);
        }
    }
    startNextThumbnail();
}

void ImageDocumentModel::dropThumbnail(int index) {
    thumbnails_.remove(entries_[index].id);
    states_[size_t(index)].thumbnailFailed = false;
}

}  // namespace scrivola
