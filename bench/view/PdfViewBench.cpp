// The page view: FILE opens in the real window (the classes and start-up of the application), then
//   first_page_ms        process launch to the first page painted;
//   scroll_max_stall_ms  the longest main-thread stall while scrolling 100 pages in continuous
//                        mode, one wheel notch (three lines) 60 times a second;
//   zoom10_peak_mb       the peak resident set while page 1 is zoomed to 10× and drawn;
//   peak_mb              the peak resident set of the whole run.
#include "ViewBench.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "workspace/AppViewModel.h"
#include "workspace/TabItem.h"

#include <QApplication>
#include <QFileInfo>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace scrivola::bench {

namespace {
// Everything in view is drawn: after a paint, no tile is waiting for a worker. The paint is forced
// in case the platform does not expose the window.
bool settled(ScrivolaPDFView& view) {
    return runUntil([&] {
        view.viewport()->repaint();
        return view.scheduler() && view.scheduler()->pendingCount() == 0;
    });
}
}  // namespace

int pdfViewBench(double launchedAt, const QString& file) {
    const double mainAt = bootMs() - launchedAt;
    BenchWindow bench;
    WorkspaceWindow& window = bench.window();
    const double windowAt = bootMs() - launchedAt;
    window.show();

    // 1. Launch to the first page on screen.
    double firstPaintAt = 0;
    QObject::connect(&window, &WorkspaceWindow::documentPainted, &window, [&] {
        if (firstPaintAt == 0) firstPaintAt = bootMs();
    });
    bench.open({QFileInfo(file).absoluteFilePath()});
    const double openedAt = bootMs() - launchedAt;
    TabItem* tab = window.model()->activeTab();
    auto* context = tab ? qobject_cast<PDFDocumentContext*>(tab->context()) : nullptr;
    ScrivolaPDFView* view = window.activePdfView();
    if (!context || !view) return fail("the file did not open as a PDF");
    if (!runUntil([&] { return firstPaintAt > 0; })) return fail("no page was painted");
    figure("first_page_ms", firstPaintAt - launchedAt);
    std::fprintf(stderr, "launch: main at %.0f ms, window made at %.0f, file opened at %.0f; RSS %.0f MB\n", mainAt,
                 windowAt, openedAt, statusMb("VmRSS"));

    // 2. Scrolling in continuous mode, one notch a step.
    context->setViewMode(ViewMode::continuous);
    if (!settled(*view)) return fail("the continuous layout did not draw");
    const int lastPage = std::min(100, context->totalPages() - 1);
    QScrollBar* bar = view->verticalScrollBar();
    const int notch = 3 * bar->singleStep();
    int paints = 0;
    int stallPage = -1;  // the page at the top of the view when the longest stall ended
    struct PaintCounter : QObject {
        int* count;
        explicit PaintCounter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++*count;
            return false;
        }
    } counter(&paints);
    view->viewport()->installEventFilter(&counter);
    const bool exposed = window.windowHandle() && window.windowHandle()->isExposed();
    const StallRun run = measureStalls(
        [&] {
            bar->setValue(bar->value() + notch);
            if (!exposed) view->viewport()->repaint();
            return view->currentPage() >= lastPage || bar->value() >= bar->maximum();
        },
        [&] { stallPage = view->currentPage(); });
    view->viewport()->removeEventFilter(&counter);
    if (!run.finished) return fail("scrolling did not finish");
    figure("scroll_max_stall_ms", run.maxStallMs);
    std::fprintf(stderr, "scroll: %d steps of %d px to page %d, %d paints; longest stall at page %d, %.0f ms of it working\n",
                 run.steps, notch, view->currentPage() + 1, paints, stallPage + 1, run.stallCpuMs);
    std::fprintf(stderr, "memory: tile cache %.0f MB, RSS %.0f MB\n", double(view->scheduler()->cachedBytes()) / 1048576.0,
                 statusMb("VmRSS"));

    // 3. Page 1 at 10×. The figure is the highest resident set from the moment the zoom is asked
    // for until the tiles in view are drawn: what the process already holds (libraries, the
    // tiles and display lists cached while scrolling) plus what the zoom adds on top.
    context->setAutoFitMode(AutoFitMode::manual);
    context->goToPage(0);
    if (!settled(*view) || view->currentPage() != 0) return fail("page 1 did not draw");
    double peak = statusMb("VmHWM");
    const double before = statusMb("VmRSS");
    resetPeak();
    context->setZoomLevel(ScrivolaPDFView::kMaximumScale);
    if (view->scaleFactor() != ScrivolaPDFView::kMaximumScale) return fail("the zoom did not reach the view");
    if (!settled(*view)) return fail("page 1 at 10x did not draw");
    const double zoomPeak = statusMb("VmHWM");
    peak = std::max(peak, zoomPeak);
    figure("zoom10_peak_mb", zoomPeak);
    std::fprintf(stderr, "zoom: RSS %.0f MB before, the zoom added %.0f MB at its peak\n", before, zoomPeak - before);

    // 4. The whole run (VmHWM was reset for the zoom: the higher of the two peaks).
    figure("peak_mb", peak);
    return 0;
}

}  // namespace scrivola::bench
