#pragma once

#include "pdf/engine/PDFEngine.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <QThreadPool>

#include <functional>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

namespace scrivola {

// Which work goes first: what is on screen, then what is about to be, then thumbnails.
enum class RenderPriority { visible, neighbour, thumbnail };

// A part of one page's picture: `area` in the pixels of the page drawn at `scale` (pixels per
// point, the device pixel ratio included), for the document as it was at `revision`.
struct RenderRequest {
    int page = 0;
    quint64 revision = 0;
    double scale = 1;
    QRect area;
    RenderPriority priority = RenderPriority::visible;
};

// Draws parts of one document's pages on worker threads, for views and thumbnails alike.
//
// The document is only touched on the main thread: display lists are taken there (through
// `lists`), kept for the current revision, and drawn by the workers. Finished pictures go into an
// LRU cache bounded in bytes; rendered() announces each on the main thread. Work for another
// revision, or work a caller gave up (cancelExcept), is cancelled, and its result never arrives.
// Main thread only, apart from the workers it owns.
class PDFRenderScheduler : public QObject {
    Q_OBJECT
public:
    using ListProvider = std::function<std::shared_ptr<const PDFDisplayList>(int page)>;
    static constexpr qint64 kDefaultCacheBytes = qint64(256) << 20;
    static constexpr int kMaxCachedLists = 64;

    explicit PDFRenderScheduler(ListProvider lists, int threads = 2, qint64 cacheBytes = kDefaultCacheBytes,
                                QObject* parent = nullptr);
    // Cancels all work and waits for the workers.
    ~PDFRenderScheduler() override;

    // The picture when it is cached (marked as recently used); otherwise a null image, and the
    // work is queued unless it is already. A request for another revision than the current one
    // gives nothing.
    QImage request(const RenderRequest& request);
    // The cached picture, without queuing anything.
    QImage cached(const RenderRequest& request) const;
    // Cancels queued and running work except for these requests (what is still wanted).
    void cancelExcept(const std::vector<RenderRequest>& wanted);
    // The document changed: lists, pictures and work of earlier revisions go.
    void setRevision(quint64 revision);
    quint64 revision() const { return revision_; }

    qint64 cachedBytes() const { return cachedBytes_; }
    int pendingCount() const { return int(pending_.size()); }

signals:
    void rendered(const scrivola::RenderRequest& request);

private:
    struct Key {
        int page;
        quint64 revision;
        qint64 scale;  // scale × 4096, rounded: equal scales give equal keys
        QRect area;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    struct Job;
    struct Entry {
        QImage picture;
        std::list<Key>::iterator use;
    };

    static Key keyOf(const RenderRequest& request);
    std::shared_ptr<const PDFDisplayList> listFor(int page);
    void finish(const std::shared_ptr<Job>& job, const QImage& picture);
    void store(const Key& key, const QImage& picture);
    void evict();

    ListProvider lists_;
    qint64 budget_;
    quint64 revision_ = 0;
    QThreadPool workers_;
    std::unordered_map<Key, std::shared_ptr<Job>, KeyHash> pending_;
    std::unordered_map<Key, Entry, KeyHash> pictures_;
    std::list<Key> uses_;  // least recently used first
    qint64 cachedBytes_ = 0;
    std::unordered_map<int, std::shared_ptr<const PDFDisplayList>> listsByPage_;
    std::list<int> listUses_;  // least recently used first
};

}  // namespace scrivola

Q_DECLARE_METATYPE(scrivola::RenderRequest)
