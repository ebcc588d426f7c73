#pragma once

#include "image/LruImageCache.h"

namespace scrivola {

// Decoded images by entry index, least recently used first out once the byte budget is
// exceeded. The pinned index (the image on screen) is never evicted.
class ImageCache : public LruImageCache<int> {
public:
    // The image on screen and its two neighbours at 16 MP (64 MB each), or the shown one and the
    // next at 24 MP, with the decode under way: a folder of photos stays well under 400 MB.
    static constexpr qint64 kDefaultBudget = qint64(256) << 20;

    explicit ImageCache(qint64 budgetBytes = kDefaultBudget) : LruImageCache(budgetBytes) {}

    // Forgets `index` and moves every later index (and the pin) down by one, as when the
    // entry at `index` leaves the collection.
    void removeShifting(int index);

    void setPinned(int index);
    int pinned() const { return pinned_; }

private:
    bool spared(const int& index) const override { return index == pinned_; }

    int pinned_ = -1;
};

}  // namespace scrivola
