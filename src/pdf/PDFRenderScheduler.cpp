#include "pdf/PDFRenderScheduler.h"

#include <QMetaObject>
#include <QRunnable>

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
    mix(std::hash<int>()(k.page));
    mix(std::hash<quint64>()(k.revision));
    mix(std::hash<int>()(k.area.x()) ^ (std::hash<int>()(k.area.y()) << 1));
    mix(std::hash<int>()(k.area.width()) ^ (std::hash<int>()(k.area.height()) << 1));
    return h;
}

PDFRenderScheduler::PDFRenderScheduler(ListProvider lists, int threads, qint64 cacheBytes, QObject* parent)
    : QObject(parent), lists_(std::move(lists)), budget_(cacheBytes) {
    workers_.setMaxThreadCount(std::max(1, threads));
}

PDFRenderScheduler::~PDFRenderScheduler() {
    for (auto& [key, job] : pending_) job->cancel.cancel();
    workers_.clear();
    workers_.waitForDone();
}

PDFRenderScheduler::Key PDFRenderScheduler::keyOf(const RenderRequest& request) {
    return {request.page, request.revision, std::llround(request.scale * 4096), request.area};
}

QImage PDFRenderScheduler::cached(const RenderRequest& request) const {
    const auto found = pictures_.find(keyOf(request));
    return found == pictures_.end() ? QImage() : found->second.picture;
}

QImage PDFRenderScheduler::request(const RenderRequest& request) {
    if (request.revision != revision_ || request.area.isEmpty() || !(request.scale > 0)) return {};
    const Key key = keyOf(request);
    if (auto found = pictures_.find(key); found != pictures_.end()) {
        uses_.splice(uses_.end(), uses_, found->second.use);
        return found->second.picture;
    }
    if (pending_.count(key)) return {};
    std::shared_ptr<const PDFDisplayList> list = listFor(request.page);
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

std::shared_ptr<const PDFDisplayList> PDFRenderScheduler::listFor(int page) {
    if (auto found = listsByPage_.find(page); found != listsByPage_.end()) {
        listUses_.remove(page);
        listUses_.push_back(page);
        return found->second;
    }
    std::shared_ptr<const PDFDisplayList> list = lists_ ? lists_(page) : nullptr;
    if (!list) return nullptr;
    listsByPage_.emplace(page, list);
    listUses_.push_back(page);
    // Lists in use by a worker stay alive with its job; the cache only forgets them.
    while (int(listUses_.size()) > kMaxCachedLists) {
        listsByPage_.erase(listUses_.front());
        listUses_.pop_front();
    }
    return list;
}

void PDFRenderScheduler::finish(const std::shared_ptr<Job>& job, const QImage& picture) {
    const auto found = pending_.find(job->key);
    // Only the job still on record for its key delivers; cancelled or stale work is dropped.
    if (found == pending_.end() || found->second != job) return;
    pending_.erase(found);
    if (job->cancel.isCancelled() || job->key.revision != revision_ || picture.isNull()) return;
    store(job->key, picture);
    emit rendered(job->request);
}

void PDFRenderScheduler::cancelExcept(const std::vector<RenderRequest>& wanted) {
    std::unordered_map<Key, bool, KeyHash> keep;
    for (const RenderRequest& request : wanted) keep.emplace(keyOf(request), true);
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (keep.count(it->first)) {
            ++it;
            continue;
        }
        it->second->cancel.cancel();
        it = pending_.erase(it);
    }
}

void PDFRenderScheduler::setRevision(quint64 revision) {
    if (revision == revision_) return;
    revision_ = revision;
    cancelExcept({});
    listsByPage_.clear();
    listUses_.clear();
    pictures_.clear();
    uses_.clear();
    cachedBytes_ = 0;
}

void PDFRenderScheduler::store(const Key& key, const QImage& picture) {
    if (auto found = pictures_.find(key); found != pictures_.end()) {
        cachedBytes_ -= found->second.picture.sizeInBytes();
        uses_.erase(found->second.use);
        pictures_.erase(found);
    }
    uses_.push_back(key);
    pictures_[key] = Entry{picture, std::prev(uses_.end())};
    cachedBytes_ += picture.sizeInBytes();
    evict();
}

void PDFRenderScheduler::evict() {
    while (cachedBytes_ > budget_ && !uses_.empty()) {
        const auto found = pictures_.find(uses_.front());
        cachedBytes_ -= found->second.picture.sizeInBytes();
        pictures_.erase(found);
        uses_.pop_front();
    }
}

}  // namespace scrivola
