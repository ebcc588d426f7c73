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
// point, the device pixel ratio included), for `document` as it was at `revision`.
struct RenderRequest {
    int page = 0;
    quint64 revision = 0;
    double scale = 1;
    QRect area;
    RenderPriority priority = RenderPriority::visible;
    quint64 document = 0;  // as addDocument() gave it
};

// Draws parts of documents' pages on worker threads, for every view and thumbnail of the
// application: one pool of workers and one LRU cache of pictures bounded in bytes.
//
// A document is only touched on the main thread: display lists are taken there (through the
// provider given to addDocument), kept for its current revision, and drawn by the workers.
// rendered() announces each finished picture on the main thread. Work for another revision, or
// work a caller gave up (cancelExcept), is cancelled, and its result never arrives. When a
// document changes, its pictures of the revision before stay as placeholders until the new ones
// arrive. Main thread only, apart from the workers it owns.
class PDFRenderScheduler : public QObject {
    Q_OBJECT
public:
    using ListProvider = std::function<std::shared_ptr<const PDFDisplayList>(int page)>;
    using DocumentId = quint64;
    static constexpr qint64 kDefaultCacheBytes = qint64(256) << 20;
    static constexpr int kMaxCachedLists = 64;

    explicit PDFRenderScheduler(int threads = 2, qint64 cacheBytes = kDefaultCacheBytes, QObject* parent = nullptr);
    // Cancels all work and waits for the workers.
    ~PDFRenderScheduler() override;

    // The application's scheduler, made on first use and gone with the application.
    static PDFRenderScheduler* application();

    // A document to draw, at revision 0; removeDocument() drops its work and pictures.
    DocumentId addDocument(ListProvider lists);
    void removeDocument(DocumentId document);
    // The document changed: its lists and work of earlier revisions go.
    void setRevision(DocumentId document, quint64 revision);

    // The picture when it is cached (marked as recently used); otherwise a null image, and the
    // work is queued unless it is already. A request for another revision than the document's
    // current one gives nothing.
    QImage request(const RenderRequest& request);
    // The cached picture, without queuing anything.
    QImage cached(const RenderRequest& request) const;
    // The same tile as the document was before its last changes, while it is cached.
    QImage placeholder(const RenderRequest& request) const;
    // Cancels the document's queued and running work except for these requests.
    void cancelExcept(DocumentId document, const std::vector<RenderRequest>& wanted);

    qint64 cachedBytes() const { return cachedBytes_; }
    int pendingCount() const { return int(pending_.size()); }

signals:
    void rendered(const scrivola::RenderRequest& request);

private:
    struct Key {
        quint64 document;
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

    struct Document {
        ListProvider lists;
        quint64 revision = 0;
    };
    // The revision under which the pictures of an earlier revision are kept as placeholders.
    static constexpr quint64 kEarlier = ~quint64(0);
    using ListKey = std::pair<quint64, int>;  // document, page

    static Key keyOf(const RenderRequest& request);
    std::shared_ptr<const PDFDisplayList> listFor(quint64 document, int page);
    void forgetLists(quint64 document);
    void finish(const std::shared_ptr<Job>& job, const QImage& picture);
    void store(const Key& key, const QImage& picture);
    void erase(const Key& key);
    void evict();

    qint64 budget_;
    QThreadPool workers_;
    quint64 nextDocument_ = 1;
    std::unordered_map<quint64, Document> documents_;
    std::unordered_map<Key, std::shared_ptr<Job>, KeyHash> pending_;
    std::unordered_map<Key, Entry, KeyHash> pictures_;
    std::list<Key> uses_;  // least recently used first
    qint64 cachedBytes_ = 0;
    std::list<std::pair<ListKey, std::shared_ptr<const PDFDisplayList>>> lists_;  // least recently used first
};

}  // namespace scrivola

Q_DECLARE_METATYPE(scrivola::RenderRequest)
