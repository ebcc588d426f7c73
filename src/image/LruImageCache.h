#pragma once

#include <QImage>
#include <QtGlobal>

#include <functional>
#include <list>
#include <unordered_map>

namespace scrivola {

// Decoded images by key, least recently used first out once the byte budget is exceeded.
// `spared(key)` names images eviction passes over (the one on screen, the newest thumbnail).
template <typename Key>
class LruImageCache {
public:
    explicit LruImageCache(qint64 budgetBytes) : budget_(budgetBytes) {}

    // The cached image (marked as most recently used), or a null image.
    QImage find(const Key& key) {
        auto it = items_.find(key);
        if (it == items_.end()) return {};
        order_.splice(order_.end(), order_, it->second.position);
        return it->second.image;
    }
    // The cached image without touching the use order, or a null image.
    QImage peek(const Key& key) const {
        auto it = items_.find(key);
        return it == items_.end() ? QImage() : it->second.image;
    }
    bool contains(const Key& key) const { return items_.count(key) != 0; }
    void insert(const Key& key, const QImage& image) {
        if (image.isNull()) return;
        remove(key);
        order_.push_back(key);
        items_.emplace(key, Item{image, std::prev(order_.end())});
        used_ += image.sizeInBytes();
        evict();
    }
    void remove(const Key& key) {
        auto it = items_.find(key);
        if (it == items_.end()) return;
        used_ -= it->second.image.sizeInBytes();
        order_.erase(it->second.position);
        items_.erase(it);
    }
    void clear() {
        items_.clear();
        order_.clear();
        used_ = 0;
    }
    // Evicts least recently used images, never the spared ones nor those `keep` names, until
    // `bytes` more fit in the budget. False when they still do not fit.
    bool makeRoom(qint64 bytes, const std::function<bool(const Key&)>& keep = {}) {
        for (auto it = order_.begin(); used_ + bytes > budget_ && it != order_.end();) {
            const Key key = *it++;
            if (!spared(key) && !(keep && keep(key))) remove(key);
        }
        return used_ + bytes <= budget_;
    }

    void setBudget(qint64 bytes) {
        budget_ = bytes;
        evict();
    }
    qint64 budget() const { return budget_; }
    qint64 usedBytes() const { return used_; }
    int count() const { return int(items_.size()); }

protected:
    struct Item {
        QImage image;
        typename std::list<Key>::iterator position;
    };
    virtual ~LruImageCache() = default;
    virtual bool spared(const Key& key) const = 0;
    void evict() { makeRoom(0); }

    std::unordered_map<Key, Item> items_;
    std::list<Key> order_;  // front = least recently used
    qint64 budget_;
    qint64 used_ = 0;
};

}  // namespace scrivola
