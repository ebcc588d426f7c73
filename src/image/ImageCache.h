#pragma once

#include <QImage>
#include <QtGlobal>

#include <functional>
#include <list>
#include <unordered_map>

namespace scrivola {

// Decoded images by entry index, least recently used first out once the byte budget is
// exceeded. The pinned index (the image on screen) is never evicted.
class ImageCache {
public:
    // The image on screen and its two neighbours at 16 MP (64 MB each), or the shown one and the
    // next at 24 MP, with the decode under way: a folder of photos stays well under 400 MB.
    static constexpr qint64 kDefaultBudget = qint64(256) << 20;

    explicit ImageCache(qint64 budgetBytes = kDefaultBudget) : budget_(budgetBytes) {}

    // The cached image (marked as most recently used), or a null image.
    QImage find(int index);
    // The cached image without touching the use order, or a null image.
    QImage peek(int index) const;
    bool contains(int index) const { return items_.count(index) != 0; }
    void insert(int index, const QImage& image);
    void remove(int index);
    // Forgets `index` and moves every later index (and the pin) down by one, as when the
    // entry at `index` leaves the collection.
    void removeShifting(int index);
    void clear();
    // Evicts least recently used images, never the pinned one nor those `keep` names, until
    // `bytes` more fit in the budget. False when they still do not fit.
    bool makeRoom(qint64 bytes, const std::function<bool(int)>& keep);

    void setPinned(int index);
    int pinned() const { return pinned_; }
    void setBudget(qint64 bytes);
    qint64 budget() const { return budget_; }
    qint64 usedBytes() const { return used_; }
    int count() const { return int(items_.size()); }

private:
    struct Item {
        QImage image;
        std::list<int>::iterator position;
    };
    void evict();

    std::unordered_map<int, Item> items_;
    std::list<int> order_;  // front = least recently used
    qint64 budget_;
    qint64 used_ = 0;
    int pinned_ = -1;
};

}  // namespace scrivola
