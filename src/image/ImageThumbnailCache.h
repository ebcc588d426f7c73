#pragma once

#include <QImage>
#include <QtGlobal>

#include <list>
#include <unordered_map>

namespace scrivola {

// Thumbnails by entry id, least recently used first out once the byte budget is exceeded. Keyed
// by id rather than index, so entries leaving the collection never shift them.
class ImageThumbnailCache {
public:
    static constexpr qint64 kDefaultBudget = qint64(32) << 20;

    explicit ImageThumbnailCache(qint64 budgetBytes = kDefaultBudget) : budget_(budgetBytes) {}

    // The thumbnail (marked as most recently used), or a null image.
    QImage find(quint64 id);
    bool contains(quint64 id) const { return items_.count(id) != 0; }
    void insert(quint64 id, const QImage& image);
    void remove(quint64 id);
    void clear();

    void setBudget(qint64 bytes);
    qint64 budget() const { return budget_; }
    qint64 usedBytes() const { return used_; }

private:
    struct Item {
        QImage image;
        std::list<quint64>::iterator position;
    };
    void evict();

    std::unordered_map<quint64, Item> items_;
    std::list<quint64> order_;  // front = least recently used
    qint64 budget_;
    qint64 used_ = 0;
};

}  // namespace scrivola
