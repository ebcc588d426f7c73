// The page sidebar: FILE opens in the real window (the classes and start-up of the application), then
//   sidebar_first_ms     process launch to the first screen of thumbnails painted in the sidebar;
//   thumbs_max_stall_ms  the longest main-thread stall while the sidebar scrolls from the first
//                        page to the last, one row of thumbnails 60 times a second;
//   thumbs_peak_mb       the peak resident set once every thumbnail was shown (the sidebar then
//                        walks the document screen by screen, each drawn before the next).
#include "ViewBench.h"

#include "pdf/PDFDocumentContext.h"
#include "thumbnails/view/ThumbnailGridView.h"
#include "thumbnails/view/ThumbnailRenderer.h"
#include "thumbnails/view/ThumbnailSidebarView.h"
#include "workspace/AppViewModel.h"
#include "workspace/TabItem.h"

#include <QFileInfo>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace scrivola::bench {

namespace {
// Every cell in view shows its picture of the current revision.
bool screenDrawn(ThumbnailGridView& grid) {
    const int count = grid.renderer()->pageCount();
    for (int page = 0; page < count; ++page) {
        const QRectF cell = grid.cellRect(page);
        if (cell.bottom() < 0) continue;
        if (cell.top() > grid.viewport()->height()) break;
        if (grid.paintedRevision(page) != grid.renderer()->revision()) return false;
    }
    return true;
}
}  // namespace

int thumbnailsBench(double launchedAt, const QString& file) {
    BenchWindow bench;
    WorkspaceWindow& window = bench.window();
    window.show();

    // 1. Launch to the first screen of thumbnails.
    double pageAt = 0;
    QObject::connect(&window, &WorkspaceWindow::documentPainted, &window, [&] {
        if (pageAt == 0) pageAt = bootMs();
    });
    bench.open({QFileInfo(file).absoluteFilePath()});
    const double openedAt = bootMs();
    TabItem* tab = window.model()->activeTab();
    auto* context = tab ? qobject_cast<PDFDocumentContext*>(tab->context()) : nullptr;
    ThumbnailSidebarView* sidebar = nullptr;
    for (ThumbnailSidebarView* candidate : window.findChildren<ThumbnailSidebarView*>())
        if (candidate->context() == context) sidebar = candidate;
    if (!context || !sidebar) return fail("the file did not open as a PDF with its sidebar");
    ThumbnailGridView& grid = *sidebar->grid();
    double firstAt = 0;
    QObject::connect(&grid, &ThumbnailGridView::firstScreenPainted, &grid, [&] { firstAt = bootMs(); });
    const bool exposed = window.windowHandle() && window.windowHandle()->isExposed();
    if (!runUntil([&] {
            if (!exposed) grid.viewport()->repaint();
            return firstAt > 0;
        }))
        return fail("no screen of thumbnails was painted");
    figure("sidebar_first_ms", firstAt - launchedAt);
    std::fprintf(stderr, "launch: file opened at %.0f ms, first page painted at %.0f ms\n", openedAt - launchedAt,
                 pageAt > 0 ? pageAt - launchedAt : -1.0);
    std::fprintf(stderr, "sidebar: %d pages, %d column(s) of %.0f px, view %dx%d\n", context->totalPages(),
                 grid.columnCount(), grid.minimumColumnWidth(), grid.viewport()->width(), grid.viewport()->height());

    // 2. Scrolling from the first page to the last, one row a step.
    QScrollBar* bar = grid.verticalScrollBar();
    const int row = int(grid.cellRect(grid.columnCount()).top() - grid.cellRect(0).top());
    int stallPage = -1;
    const StallRun run = measureStalls(
        [&] {
            bar->setValue(bar->value() + row);
            if (!exposed) grid.viewport()->repaint();
            return bar->value() >= bar->maximum();
        },
        [&] { stallPage = grid.pageAt(QPoint(grid.viewport()->width() / 2, grid.viewport()->height() / 2)); });
    if (!run.finished) return fail("scrolling did not finish");
    figure("thumbs_max_stall_ms", run.maxStallMs);
    std::fprintf(stderr, "scroll: %d steps of %d px; longest stall near page %d, %.0f ms of it working\n", run.steps, row,
                 stallPage + 1, run.stallCpuMs);

    // 3. Every thumbnail drawn, screen by screen from the top.
    bar->setValue(0);
    int screens = 0;
    for (;;) {
        if (!runUntil([&] {
                grid.viewport()->repaint();
                return screenDrawn(grid);
            }))
            return fail("a screen of thumbnails did not draw");
        ++screens;
        if (bar->value() >= bar->maximum()) break;
        bar->setValue(bar->value() + std::max(row, bar->pageStep() - row / 2));
    }
    figure("thumbs_peak_mb", statusMb("VmHWM"));
    std::fprintf(stderr, "memory: %d screens drawn; picture cache %.0f MB, RSS %.0f MB\n", screens,
                 double(grid.renderer()->scheduler()->cachedBytes()) / 1048576.0, statusMb("VmRSS"));
    return 0;
}

}  // namespace scrivola::bench
