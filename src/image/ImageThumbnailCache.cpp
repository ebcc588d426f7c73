#include "image/ImageThumbnailCache.h"

namespace scrivola {

QImage ImageThumbnailCache::find(quint64 id) {
    auto it = items_.find(id);
    if (it == items_.end()) return {};
    order_.splice(order_.end(), order_, it->second.position);
    return it->second.image;
}

void ImageThumbnailCache::insert(quint64 id, const QImage& image) {
    if (image.isNull()) return;
    remove(id);
    order_.push_back(id);
    items_.emplace(id, Item{image, std::prev(order_.end())});
    used_ += image.sizeInBytes();
    evict();
}

void ImageThumbnailCache::remove(quint64 id) {
    auto it = items_.find(id);
    if (it == items_.end()) return;
    used_ -= it->second.image.sizeInBytes();
    order_.erase(it->second.position);
    items_.erase(it);
}

void ImageThumbnailCache::clear() {
    items_.clear();
    order_.clear();
    used_ = 0;
}

void ImageThumbnailCache::setBudget(qint64 bytes) {
    budget_ = bytes;
    evict();
}

void ImageThumbnailCache::evict() {
    // The newest thumbnail stays even when it alone exceeds the budget: it is about to be painted.
    while (used_ > budget_ && order_.size() > 1) remove(order_.front());
}

}  // namespace scrivola
