#include "image/ImageCache.h"

namespace scrivola {

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

void ImageCache::setPinned(int index) {
    pinned_ = index;
    evict();
}

}  // namespace scrivola
