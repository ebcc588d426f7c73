#pragma once

// Text search on worker threads, each with a private copy of the document's bytes.
//
// The library's documents are not shared between threads, so every worker opens its own copy
// over the bytes the document was opened from (held in memory). That is only right while the
// document has no unsaved changes; start() declines otherwise, and the caller searches the live
// document itself.

#include "pdf/engine/PDFEngine.h"

#include <memory>

namespace scrivola {

class PDFThreadedSearch {
public:
    // Starts searching every page of `document` for `text` (same matching as
    // PDFDocument::findString) on `threads` workers (0: one per processor). Returns null when
    // the query is empty, the document has unsaved changes, needs a password, is not held in
    // memory (a file over 128 MB), or has too few pages to gain from threads.
    static std::unique_ptr<PDFThreadedSearch> start(const PDFDocument& document, const QString& text,
                                                    int threads = 0);
    // Stops the workers (each finishes the page it is on) and waits for them.
    ~PDFThreadedSearch();
    PDFThreadedSearch(const PDFThreadedSearch&) = delete;
    PDFThreadedSearch& operator=(const PDFThreadedSearch&) = delete;

    int pageCount() const;
    // Pages whose hits have been taken: hits come out in page order, so this is also the first
    // page whose hits are still to come.
    int pagesTaken() const;
    bool isDone() const { return pagesTaken() >= pageCount(); }
    // The hits of the pages finished in order since the last call, as selections on the pages
    // of `document` (the document passed to start(), on its thread). Waits up to `waitMs` for
    // at least one more page when none is ready. Should no worker be able to open a copy, the
    // pages left are searched here on `document`, a few tens of milliseconds a call.
    std::vector<PDFSelection> takeFinished(const PDFDocument& document, int waitMs = 0);

private:
    struct State;
    explicit PDFThreadedSearch(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace scrivola
