#include "pdf/PDFRenderScheduler.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QRunnable>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace scrivola {

struct PDFRenderScheduler::Job {
    Key key;
    RenderRequest request;
    std::shared_ptr<const PDFDisplayList> list;
    PDFCancelToken cancel;
};

size_t PDFRenderScheduler::KeyHash::operator()(const Key& k) const {
    size_t h = std::hash<qint64>()(k.scale);
    const auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(std::hash<quint64>()(k.document));
    mix(std::hash<int>()(k.page));
    mix(std::hash<quint64>()(k.revision));
    mix(std::hash<int>()(k.area.x()) ^ (std::hash<int>()(k.area.y()) << 1));
    mix(std::hash<int>()(k.area.width()) ^ (std::hash<int>()(k.area.height()) << 1));
    return h;
}

PDFRenderScheduler::PDFRenderScheduler(int threads, qint64 cacheBytes, QObject* parent)
    : QObject(parent), budget_(cacheBytes) {
    workers_.setMaxThreadCount(std::max(1, threads));
}

PDFRenderScheduler::~PDFRenderScheduler() {
    for (auto& [key, job] : pending_) job->cancel.cancel();
    workers_.clear();
    workers_.waitForDone();
}

PDFRenderScheduler* PDFRenderScheduler::application() {
    // Owned by the application object, so the workers stop before the engine goes.
    static QPointer<PDFRenderScheduler> shared;
    if (!shared) shared = new PDFRenderScheduler(std::clamp(QThread::idealThreadCount() - 1, 2, 4), kDefaultCacheBytes, QCoreApplication::instance());
    return shared;
}

PDFRenderScheduler::DocumentId PDFRenderScheduler::addDocument(ListProvider lists) {
    const DocumentId id = nextDocument_++;
    documents_.emplace(id, Document{std::move(lists), 0});
    return id;
}

void PDFRenderScheduler::removeDocument(DocumentId document) {
    cancelExcept(document, {});
    forgetLists(document);
    documents_.erase(document);
    std::vector<Key> gone;
    for (const auto& [key, entry] : pictures_)
        if (key.document == document) gone.push_back(key);
    for (const Key& key : gone) erase(key);
}

PDFRenderScheduler::Key PDFRenderScheduler::keyOf(const RenderRequest& request) {
    return {request.document, request.page, request.revision, std::llround(request.scale * 4096), request.area};
}

QImage PDFRenderScheduler::cached(const RenderRequest& request) const {
    const auto found = pictures_.find(keyOf(request));
    return found == pictures_.end() ? QImage() : found->second.picture;
}

QImage PDFRenderScheduler::placeholder(const RenderRequest& request) const {
    Key key = keyOf(request);
    key.revision = kEarlier;
    const auto found = pictures_.find(key);
    return found == pictures_.end() ? QImage() : found->second.picture;
}

QImage PDFRenderScheduler::request(const RenderRequest& request) {
    const auto document = documents_.find(request.document);
    if (document == documents_.end() || request.revision != document->second.revision || request.area.isEmpty() ||
        !(request.scale > 0))
        return {};
    const Key key = keyOf(request);
    if (auto found = pictures_.find(key); found != pictures_.end()) {
        uses_.splice(uses_.end(), uses_, found->second.use);
        return found->second.picture;
    }
    if (pending_.count(key)) return {};
    std::shared_ptr<const PDFDisplayList> list = listFor(request.document, request.page);
    if (!list) return {};
    auto job = std::make_shared<Job>();
    job->key = key;
    job->request = request;
    job->list = std::move(list);
    pending_.emplace(key, job);
    // Visible work first: the pool runs higher numbers first.
    const int priority = 2 - int(request.priority);
    const auto work = [this, job] {
        const RenderRequest& r = job->request;
        const QImage picture = job->cancel.isCancelled() ? QImage() : job->list->renderArea(r.scale, r.area, &job->cancel);
        QMetaObject::invokeMethod(this, [this, job, picture] { finish(job, picture); }, Qt::QueuedConnection);
    };
    workers_.start(QRunnable::create(work), priority);
    return {};
}

std::shared_ptr<const PDFDisplayList> PDFRenderScheduler::listFor(quint64 document, int page) {
    const ListKey wanted{document, page};
    const auto found = std::find_if(lists_.begin(), lists_.end(), [&](const auto& entry) { return entry.first == wanted; });
    if (found != lists_.end()) {
        lists_.splice(lists_.end(), lists_, found);
        return lists_.back().second;
    }
    const Document& source = documents_.at(document);
    std::shared_ptr<const PDFDisplayList> list = source.lists ? source.lists(page) : nullptr;
    if (!list) return nullptr;
    lists_.emplace_back(wanted, list);
    // Lists in use by a worker stay alive with its job; the cache only forgets them.
    while (int(lists_.size()) > kMaxCachedLists) lists_.pop_front();
    return list;
}

void PDFRenderScheduler::forgetLists(quint64 document) {
    lists_.remove_if([document](const auto& entry) { return entry.first.first == document; });
}

void PDFRenderScheduler::finish(const std::shared_ptr<Job>& job, const QImage& picture) {
    const auto found = pending_.find(job->key);
    // Only the job still on record for its key delivers; cancelled or stale work is dropped.
    if (found == pending_.end() || found->second != job) return;
    pending_.erase(found);
    const auto document = documents_.find(job->key.document);
    if (job->cancel.isCancelled() || document == documents_.end() || job->key.revision != document->second.revision ||
        picture.isNull())
        return;
    store(job->key, picture);
    emit rendered(job->request);
}

void PDFRenderScheduler::cancelExcept(DocumentId document, const std::vector<RenderRequest>& wanted) {
    std::unordered_map<Key, bool, KeyHash> keep;
    for (const RenderRequest& request : wanted) keep.emplace(keyOf(request), true);
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->first.document != document || keep.count(it->first)) {
            ++it;
            continue;
        }
        it->second->cancel.cancel();
        it = pending_.erase(it);
    }
}

void PDFRenderScheduler::setRevision(DocumentId document, quint64 revision) {
    const auto found = documents_.find(document);
    if (found == documents_.end() || found->second.revision == revision) return;
    const quint64 previous = found->second.revision;
    found->second.revision = revision;
    cancelExcept(document, {});
    forgetLists(document);
    // The pictures of the revision before become the placeholders of their tiles; pictures of
    // tiles that revision never drew keep standing in from further back.
    std::vector<Key> earlier;
    for (const auto& [key, entry] : pictures_)
        if (key.document == document && key.revision == previous) earlier.push_back(key);
    for (const Key& key : earlier) {
        Key placeholder = key;
        placeholder.revision = kEarlier;
        const QImage picture = pictures_.at(key).picture;
        erase(key);
        store(placeholder, picture);
    }
}

void PDFRenderScheduler::store(const Key& key, const QImage& picture) {
    erase(key);
    uses_.push_back(key);
    pictures_[key] = Entry{picture, std::prev(uses_.end())};
    cachedBytes_ += picture.sizeInBytes();
    evict();
}

void PDFRenderScheduler::erase(const Key& key) {
    const auto found = pictures_.find(key);
    if (found == pictures_.end()) return;
    cachedBytes_ -= found->second.picture.sizeInBytes();
    uses_.erase(found->second.use);
    pictures_.erase(found);
}

void PDFRenderScheduler::evict() {
    while (cachedBytes_ > budget_ && !uses_.empty()) erase(uses_.front());
}

}  // namespace scrivola
