#pragma once

#include "image/LruImageCache.h"

namespace scrivola {

// Thumbnails by entry id, least recently used first out once the byte budget is exceeded. Keyed
// by id rather than index, so entries leaving the collection never shift them.
class ImageThumbnailCache : public LruImageCache<quint64> {
public:
    static constexpr qint64 kDefaultBudget = qint64(32) << 20;
    explicit ImageThumbnailCache(qint64 budgetBytes = kDefaultBudget) : LruImageCache(budgetBytes) {}

private:
    // The newest thumbnail stays even when it alone exceeds the budget: it is about to be painted.
    bool spared(const quint64& id) const override { return !order_.empty() && order_.back() == id; }
};

}  // namespace scrivola
