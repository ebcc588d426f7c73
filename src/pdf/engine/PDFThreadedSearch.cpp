// Text search on worker threads over private copies of an unmodified document's bytes.
// The workers are plain threads started for one search and joined before it ends: each owns an
// isolated engine context, which pooled threads shared with other work could not give it.

#include "pdf/engine/PDFThreadedSearch.h"

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"
#include "pdf/engine/PDFSearchText.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>

namespace scrivola {

using engine::TextHit;

namespace {

// Fewer pages than this are searched faster than copies of the document can be opened.
constexpr int kMinimumPages = 8;
constexpr int kMaximumThreads = 8;
// Least time a call searches the live document itself when no worker could open a copy.
constexpr int kOwnSliceMilliseconds = 20;
// Most pages a worker takes at once. A worker searches a run of neighbouring pages on a fresh
// copy of the document: their objects mostly share the same object streams, so each worker
// parses about its own share of the file, and what it parsed goes with the copy after the run
// instead of every worker ending up holding the whole file parsed. Runs are long because a
// fresh copy loads its fonts again.
constexpr int kMaximumRun = 256;

// The bytes the document was opened from, when the workers can open copies over them (without
// copying): held in memory, no unsaved changes, no password needed.
engine::BufferRef searchableSource(const PDFDocumentImpl& impl) {
    engine::BufferRef source = engine::unchangedSource(impl);
    if (!source) return {};
    fz_context* ctx = engine::baseContext();
    pdf_document* doc = impl.doc.get();
    int locked = 1;
    if (!engine::engineRun(ctx, [&] { locked = pdf_needs_password(ctx, doc); }).ok || locked) return {};
    return source;
}

}  // namespace

struct PDFThreadedSearch::State {
    engine::BufferRef source;  // kept, and dropped on the calling thread after the workers end
    QByteArray bytes;          // a view of `source`
    QString text;
    std::vector<char32_t> query;
    int count = 0;

    std::mutex mutex;
    std::condition_variable changed;
    int run = 1;       // pages a worker claims at once
    int nextPage = 0;  // first page no one has claimed
    std::set<int> returned;  // pages claimed by a worker that failed before searching them
    std::map<int, std::vector<PDFSelection>> ownHits;  // pages the caller searched itself
    int taken = 0;     // first page whose hits have not been taken
    int live = 0;      // workers still running
    bool cancelled = false;
    std::vector<std::vector<TextHit>> hits;  // by page
    std::vector<char> finished;              // by page
    std::vector<int> objects;                // object number of each page searched by a worker
    std::vector<std::thread> threads;

    // The next run of at most `length` pages [first, end) to search; first is -1 when there is
    // none (or the search was cancelled). A page a failed worker gave back comes first, alone.
    std::pair<int, int> claimRun(int length) {
        std::lock_guard guard(mutex);
        if (cancelled) return {-1, -1};
        if (!returned.empty()) {
            const int page = returned.extract(returned.begin()).value();
            return {page, page + 1};
        }
        if (nextPage >= count) return {-1, -1};
        const int first = nextPage;
        nextPage = std::min(count, first + length);
        return {first, nextPage};
    }

    bool isCancelled() {
        std::lock_guard guard(mutex);
        return cancelled;
    }

    void finish(int page, std::vector<TextHit> pageHits, int object = 0) {
        {
            std::lock_guard guard(mutex);
            objects[size_t(page)] = object;
            hits[size_t(page)] = std::move(pageHits);
            finished[size_t(page)] = 1;
        }
        changed.notify_all();
    }

    void work() {
        int page = -1;    // the page being searched
        int runEnd = -1;  // the end of the run it belongs to
        try {
            // A context of the worker's own: cloned contexts share one allocation lock, which
            // text extraction takes so often that the workers would mostly wait on each other.
            const engine::IsolatedContext isolated;
            fz_context* ctx = isolated.get();
            for (;;) {
                // The copy is opened before pages are claimed: a worker that cannot open one
                // leaves its pages to the others.
                engine::OwnedDocument doc(ctx, engine::openDocument(ctx, bytes));
                int pages = -1;
                engine::engineRun(ctx, [&] { pages = pdf_count_pages(ctx, doc.get()); });
                if (pages != count) throw PDFEngineError(PDFEngineError::Kind::corruptedFile, "The copy differs");
                std::tie(page, runEnd) = claimRun(run);
                if (page < 0) break;
                for (; page < runEnd; ++page) {
                    std::vector<TextHit> pageHits;
                    int object = 0;
                    pdf_page* loaded = nullptr;
                    // A page that cannot be loaded has no hits, as in the document's own search.
                    // A cancelled search skips the rest of its run.
                    if (!isCancelled() && engine::engineRun(ctx, [&] { loaded = pdf_load_page(ctx, doc.get(), page); }).ok &&
                        loaded) {
                        engine::OwnedPage owned(ctx, loaded);
                        pageHits = engine::findInLoadedPage(ctx, loaded, query);
                        object = engine::objectNumber(ctx, loaded->obj);
                    }
                    finish(page, std::move(pageHits), object);
                }
            }
        } catch (...) {
            // This worker searches nothing more; the others, or the caller, take its pages,
            // those of its run included.
            std::lock_guard guard(mutex);
            for (int p = std::max(page, 0); p < runEnd; ++p) returned.insert(p);
        }
        {
            std::lock_guard guard(mutex);
            --live;
        }
        changed.notify_all();
    }

    bool stalled() const { return live == 0 && (nextPage < count || !returned.empty()); }
};

PDFThreadedSearch::PDFThreadedSearch(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<PDFThreadedSearch> PDFThreadedSearch::start(const PDFDocument& document, const QString& text,
                                                            int threads) {
    auto state = std::make_unique<State>();
    state->query = engine::foldQuery(text);
    state->count = document.pageCount();
    if (state->query.empty() || state->count < kMinimumPages) return nullptr;
    state->source = searchableSource(Access::impl(document));
    if (!state->source) return nullptr;
    state->bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(state->source.get()->data),
                                           qsizetype(state->source.get()->len));
    state->text = text;
    state->hits.resize(size_t(state->count));
    state->finished.assign(size_t(state->count), 0);
    state->objects.assign(size_t(state->count), 0);
    int workers = threads > 0 ? threads : int(std::thread::hardware_concurrency());
    workers = std::clamp(workers, 1, std::min(kMaximumThreads, state->count));
    // A few runs per worker keep the workers busy to the end.
    state->run = std::clamp(state->count / (workers * 3), 1, kMaximumRun);
    State* raw = state.get();
    raw->live = workers;
    auto search = std::unique_ptr<PDFThreadedSearch>(new PDFThreadedSearch(std::move(state)));
    try {
        for (int i = 0; i < workers; ++i) raw->threads.emplace_back([raw] { raw->work(); });
    } catch (const std::system_error&) {
        // No thread to be had: the workers that did start are stopped and joined by the
        // destructor, and the caller searches the document itself.
        return nullptr;
    }
    return search;
}

PDFThreadedSearch::~PDFThreadedSearch() {
    {
        std::lock_guard guard(state_->mutex);
        state_->cancelled = true;
    }
    for (auto& thread : state_->threads) thread.join();
}

int PDFThreadedSearch::pageCount() const { return state_->count; }

int PDFThreadedSearch::pagesTaken() const {
    std::lock_guard guard(state_->mutex);
    return state_->taken;
}

std::vector<PDFSelection> PDFThreadedSearch::takeFinished(const PDFDocument& document, int waitMs) {
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    auto ready = [&] { return s.taken >= s.count || s.finished[size_t(s.taken)] || s.stalled(); };
    if (waitMs > 0 && !ready()) s.changed.wait_for(lock, std::chrono::milliseconds(waitMs), ready);
    if (s.taken < s.count && !s.finished[size_t(s.taken)] && s.stalled()) {
        // No worker is left: search the live document here, a page at a time, lowest first.
        lock.unlock();
        QElapsedTimer clock;
        clock.start();
        do {
            const int page = s.claimRun(1).first;
            if (page < 0) break;
            auto pageHits = document.findString(s.text, page);
            std::lock_guard guard(s.mutex);
            s.ownHits[page] = std::move(pageHits);
            s.finished[size_t(page)] = 1;
        } while (clock.elapsed() < std::max(waitMs, kOwnSliceMilliseconds));
        lock.lock();
    }
    struct Finished {
        int index;
        int object;
        std::vector<TextHit> hits;
        std::vector<PDFSelection> own;  // searched here
    };
    std::vector<Finished> pages;
    for (; s.taken < s.count && s.finished[size_t(s.taken)]; ++s.taken) {
        if (auto own = s.ownHits.find(s.taken); own != s.ownHits.end()) {
            pages.push_back({s.taken, 0, {}, std::move(own->second)});
            s.ownHits.erase(own);
        } else if (!s.hits[size_t(s.taken)].empty()) {
            pages.push_back({s.taken, s.objects[size_t(s.taken)], std::move(s.hits[size_t(s.taken)]), {}});
        }
    }
    lock.unlock();
    // While the document is still the bytes the workers opened, their pages are known by object
    // number: the document finds them without walking its page tree (which would parse most
    // of the file again on this side).
    PDFDocumentImpl& impl = Access::impl(document);
    const bool same = engine::unchangedSource(impl).get() == s.source.get();
    const auto owner = std::const_pointer_cast<PDFDocument>(document.shared_from_this());
    std::vector<PDFSelection> result;
    for (Finished& finished : pages) {
        for (auto& selection : finished.own) result.push_back(std::move(selection));
        if (finished.hits.empty()) continue;
        PDFPagePtr page = same && finished.object > 0 ? impl.knownPage(owner, finished.index, finished.object) : nullptr;
        if (!page) page = document.page(finished.index);
        if (!page) continue;
        for (auto& hit : finished.hits) {
            std::vector<PDFSelection::LineRange> ranges;
            ranges.reserve(hit.size());
            for (auto& part : hit) ranges.push_back({page, part.bounds, std::move(part.text)});
            result.emplace_back(std::move(ranges));
        }
    }
    return result;
}

}  // namespace scrivola
