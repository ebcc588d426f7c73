#include "image/ImageCache.h"

namespace scrivola {

QImage ImageCache::find(int index) {
    auto it = items_.find(index);
    if (it == items_.end()) return {};
    order_.splice(order_.end(), order_, it->second.position);
    return it->second.image;
}

QImage ImageCache::peek(int index) const {
    auto it = items_.find(index);
    return it == items_.end() ? QImage() : it->second.image;
}

void ImageCache::insert(int index, const QImage& image) {
    if (image.isNull()) return;
    remove(index);
    order_.push_back(index);
    items_.emplace(index, Item{image, std::prev(order_.end())});
    used_ += image.sizeInBytes();
    evict();
}

void ImageCache::remove(int index) {
    auto it = items_.find(index);
    if (it == items_.end()) return;
    used_ -= it->second.image.sizeInBytes();
    order_.erase(it->second.position);
    items_.erase(it);
}

void ImageCache::removeShifting(int index) {
    remove(index);
    std::unordered_map<int, Item> shifted;
    shifted.reserve(items_.size());
    for (auto& [key, item] : items_) {
        const int moved = key > index ? key - 1 : key;
        *item.position = moved;
        shifted.emplace(moved, std::move(item));
    }
    items_ = std::move(shifted);
    if (pinned_ == index) pinned_ = -1;
    else if (pinned_ > index) --pinned_;
}

void ImageCache::clear() {
    items_.clear();
    order_.clear();
    used_ = 0;
}

bool ImageCache::makeRoom(qint64 bytes, const std::function<bool(int)>& keep) {
    auto it = order_.begin();
    while (used_ + bytes > budget_ && it != order_.end()) {
        const int index = *it;
        ++it;
        if (index != pinned_ && !keep(index)) remove(index);
    }
    return used_ + bytes <= budget_;
}

void ImageCache::setPinned(int index) {
    pinned_ = index;
    evict();
}

void ImageCache::setBudget(qint64 bytes) {
    budget_ = bytes;
    evict();
}

void ImageCache::evict() {
    auto it = order_.begin();
    while (used_ > budget_ && it != order_.end()) {
        const int index = *it;
        ++it;
        if (index == pinned_) continue;
        remove(index);
    }
}

}  // namespace scrivola
