// Text search on worker threads over private copies of an unmodified document's bytes.

#include "pdf/engine/PDFThreadedSearch.h"

#include "pdf/engine/EngineImpl.h"
#include "pdf/engine/EngineInternals.h"
#include "pdf/engine/PDFSearchText.h"

#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace scrivola {

using engine::TextHit;

namespace {

// Fewer pages than this are searched faster than copies of the document can be opened.
constexpr int kMinimumPages = 8;
constexpr int kMaximumThreads = 8;
// Least time a call searches the live document itself when no worker could open a copy.
constexpr int kOwnSliceMilliseconds = 20;

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
    int nextPage = 0;  // first page no one has claimed
    int taken = 0;     // first page whose hits have not been taken
    int live = 0;      // workers still running
    bool cancelled = false;
    std::vector<std::vector<TextHit>> hits;  // by page
    std::vector<char> finished;              // by page
    std::vector<std::thread> threads;

    // The next page to search, or -1 when there is none (or the search was cancelled).
    int claim() {
        std::lock_guard guard(mutex);
        if (cancelled || nextPage >= count) return -1;
        return nextPage++;
    }

    void finish(int page, std::vector<TextHit> pageHits) {
        {
            std::lock_guard guard(mutex);
            hits[size_t(page)] = std::move(pageHits);
            finished[size_t(page)] = 1;
        }
        changed.notify_all();
    }

    void work() {
        try {
            // A context of the worker's own: cloned contexts share one allocation lock, which
            // text extraction takes so often that the workers would mostly wait on each other.
            const engine::IsolatedContext isolated;
            fz_context* ctx = isolated.get();
            engine::OwnedDocument doc(ctx, engine::openDocument(ctx, bytes));
            int pages = -1;
            // The page map makes loading a page by number a look-up instead of a walk down the
            // page tree; the copy never changes, so it stays valid.
            bool mapped = false;
            engine::engineRun(ctx, [&] {
                pages = pdf_count_pages(ctx, doc.get());
                pdf_load_page_tree(ctx, doc.get());
                mapped = true;
            });
            const engine::OwnedPageTree map(ctx, mapped ? doc.get() : nullptr);
            if (pages != count) throw PDFEngineError(PDFEngineError::Kind::corruptedFile, "The copy differs");
            for (int page = claim(); page >= 0; page = claim()) {
                std::vector<TextHit> pageHits;
                pdf_page* loaded = nullptr;
                // A page that cannot be loaded has no hits, as in the document's own search.
                if (engine::engineRun(ctx, [&] { loaded = pdf_load_page(ctx, doc.get(), page); }).ok && loaded) {
                    engine::OwnedPage owned(ctx, loaded);
                    pageHits = engine::findInLoadedPage(ctx, loaded, query);
                }
                finish(page, std::move(pageHits));
            }
        } catch (...) {
            // This worker searches nothing more; the others, or the caller, take its pages.
        }
        {
            std::lock_guard guard(mutex);
            --live;
        }
        changed.notify_all();
    }

    bool stalled() const { return live == 0 && nextPage < count; }
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
    int workers = threads > 0 ? threads : int(std::thread::hardware_concurrency());
    workers = std::clamp(workers, 1, std::min(kMaximumThreads, state->count));
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
    std::vector<std::pair<int, std::vector<TextHit>>> pages;
    std::unique_lock lock(s.mutex);
    auto ready = [&] { return s.taken >= s.count || s.finished[size_t(s.taken)] || s.stalled(); };
    if (waitMs > 0 && !ready()) s.changed.wait_for(lock, std::chrono::milliseconds(waitMs), ready);
    while (s.taken < s.count && s.finished[size_t(s.taken)]) {
        pages.emplace_back(s.taken, std::move(s.hits[size_t(s.taken)]));
        ++s.taken;
    }
    std::vector<PDFSelection> result;
    if (pages.empty() && s.stalled()) {
        // No worker could open a copy: search the live document here, a page at a time.
        lock.unlock();
        QElapsedTimer clock;
        clock.start();
        do {
            const int page = s.claim();
            if (page < 0) break;
            auto pageHits = document.findString(s.text, page);
            for (auto& hit : pageHits) result.push_back(std::move(hit));
            std::lock_guard guard(s.mutex);
            s.finished[size_t(page)] = 1;
            s.taken = page + 1;
        } while (clock.elapsed() < std::max(waitMs, kOwnSliceMilliseconds));
        return result;
    }
    lock.unlock();
    for (auto& [index, hits] : pages) {
        const PDFPagePtr page = document.page(index);
        if (!page) continue;
        for (auto& hit : hits) {
            std::vector<PDFSelection::LineRange> ranges;
            ranges.reserve(hit.size());
            for (auto& part : hit) ranges.push_back({page, part.bounds, std::move(part.text)});
            result.emplace_back(std::move(ranges));
        }
    }
    return result;
}

}  // namespace scrivola
