// The page view as a user meets it, timed over the whole process: FILE opens in the real window
// (the classes and start-up of the application), then
//   first_page_ms        process launch to the first page painted;
//   scroll_max_stall_ms  the longest main-thread stall while scrolling 100 pages in continuous
//                        mode, one wheel notch (three lines) 60 times a second;
//   zoom10_peak_mb       the peak resident set while page 1 is zoomed to 10× and drawn;
//   peak_mb              the peak resident set of the whole run.
// usage: view_bench FILE.pdf   (offscreen unless QT_QPA_PLATFORM is set; details on stderr)
#include "app/core/AppearanceSettings.h"
#include "app/core/Theme.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "ui/WorkspaceWindow.h"
#include "workspace/AppViewModel.h"
#include "workspace/RecentDocuments.h"
#include "workspace/ServiceContainer.h"
#include "workspace/TabItem.h"
#include "workspace/WindowRegistry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

using namespace scrivola;

namespace {

// Milliseconds on the boot clock, the clock the kernel keeps process start times on.
double bootMs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// When the kernel started this process (field 22 of /proc/self/stat, clock ticks since boot), so
// that loading the libraries counts too. The tick (10 ms) rounds it down: the figure errs long.
double processStartMs() {
    std::ifstream in("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name (field 2) may hold spaces and parentheses; field 3 follows the last ')'.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;
    return std::stod(field) * 1e3 / double(sysconf(_SC_CLK_TCK));
}

// A memory figure of /proc/self/status (VmHWM, VmRSS) in MB.
double statusMb(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return 0;
}

// CPU time of the calling thread in milliseconds: how much of a stall the thread was working.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// VmHWM starts again from the current resident set.
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Runs the event loop until `done` holds (checked every 5 ms); false after `timeoutMs`.
bool runUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs) loop.quit();
    });
    poll.start(5);
    if (!done()) loop.exec();
    return done();
}

// Everything in view is drawn: after a paint, no tile is waiting for a worker. The paint is forced
// in case the platform does not expose the window.
bool settled(ScrivolaPDFView& view) {
    return runUntil([&] {
        view.viewport()->repaint();
        return view.scheduler() && view.scheduler()->pendingCount() == 0;
    });
}

int fail(const char* what) {
    std::fprintf(stderr, "view_bench: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const double launchedAt = processStartMs();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("SCRIVOLA_DEBUG")) qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    if (argc < 2) return fail("usage: view_bench FILE.pdf");
    QApplication::setOrganizationName(QStringLiteral("Scrivola"));
    QApplication::setApplicationName(QStringLiteral("Scrivola"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    // Start-up as the application's, but settings and recent files live in a scratch folder so
    // that a run leaves the user's own untouched (signatures and stamps are the user's: loading
    // them is part of starting).
    const double mainAt = bootMs() - launchedAt;
    QTemporaryDir scratch;
    QSettings settings(scratch.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    AppearanceSettings appearance(&settings);
    const QPalette systemPalette = QApplication::palette();
    QApplication::setPalette(appearance.palette(Theme::isDarkPalette(systemPalette), systemPalette));
    WindowRegistry registry;
    RecentDocuments recent(&settings, scratch.filePath(QStringLiteral("recently-used.xbel")));
    WorkspaceEnvironment environment;
    environment.registry = &registry;
    environment.recentDocuments = &recent;
    environment.settings = &settings;
    auto model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(), environment);
    registry.add(model.get());
    WorkspaceWindow window(std::move(model));
    const double windowAt = bootMs() - launchedAt;
    window.show();

    // 1. Launch to the first page on screen.
    double firstPaintAt = 0;
    QObject::connect(&window, &WorkspaceWindow::documentPainted, &app, [&] {
        if (firstPaintAt == 0) firstPaintAt = bootMs();
    });
    window.model()->openFiles({QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath()});
    const double openedAt = bootMs() - launchedAt;
    TabItem* tab = window.model()->activeTab();
    auto* context = tab ? qobject_cast<PDFDocumentContext*>(tab->context()) : nullptr;
    ScrivolaPDFView* view = window.activePdfView();
    if (!context || !view) return fail("the file did not open as a PDF");
    if (!runUntil([&] { return firstPaintAt > 0; })) return fail("no page was painted");
    std::printf("first_page_ms %.0f\n", firstPaintAt - launchedAt);
    std::fflush(stdout);
    std::fprintf(stderr, "launch: main at %.0f ms, window made at %.0f, file opened at %.0f; RSS %.0f MB\n", mainAt,
                 windowAt, openedAt, statusMb("VmRSS"));

    // 2. Scrolling in continuous mode. A 1 ms heartbeat runs on every turn of the event loop that
    // is otherwise idle; the gap between two beats is how long the loop was kept from turning
    // (the scroll steps, paints and delivered tiles in between). The beat also drives the steps
    // on a 60 Hz schedule, which a millisecond timer could not keep.
    context->setViewMode(ViewMode::continuous);
    if (!settled(*view)) return fail("the continuous layout did not draw");
    const int lastPage = std::min(100, context->totalPages() - 1);
    QScrollBar* bar = view->verticalScrollBar();
    const int notch = 3 * bar->singleStep();
    const double period = 1000.0 / 60;
    int steps = 0;
    int paints = 0;
    double maxStall = 0;
    int stallPage = -1;  // the page at the top of the view when the longest stall ended
    double stallCpu = 0;  // how much of it the main thread worked (the rest: other threads ran)
    {
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
        QElapsedTimer clock;
        QTimer beat;
        beat.setTimerType(Qt::PreciseTimer);
        double lastBeat = 0;
        double lastBeatCpu = threadCpuMs();
        double nextStep = 0;
        bool done = false;
        // The time since the last beat: a new longest stall is noted with the page in view.
        const auto sinceLastBeat = [&] {
            const double gap = double(clock.nsecsElapsed()) / 1e6 - lastBeat;
            if (gap > maxStall) {
                maxStall = gap;
                stallPage = view->currentPage();
                stallCpu = threadCpuMs() - lastBeatCpu;
            }
        };
        QObject::connect(&beat, &QTimer::timeout, &app, [&] {
            sinceLastBeat();
            lastBeat = double(clock.nsecsElapsed()) / 1e6;
            lastBeatCpu = threadCpuMs();
            if (lastBeat < nextStep || done) return;
            nextStep = std::max(nextStep + period, lastBeat);
            bar->setValue(bar->value() + notch);
            if (!exposed) view->viewport()->repaint();
            ++steps;
            done = view->currentPage() >= lastPage || bar->value() >= bar->maximum();
            // The time spent in this step counts even when it is the last one.
            sinceLastBeat();
        });
        clock.start();
        beat.start(1);
        if (!runUntil([&] { return done; }, 600000)) return fail("scrolling did not finish");
        beat.stop();
        view->viewport()->removeEventFilter(&counter);
    }
    std::printf("scroll_max_stall_ms %.0f\n", maxStall);
    std::fflush(stdout);
    std::fprintf(stderr, "scroll: %d steps of %d px to page %d, %d paints; longest stall at page %d, %.0f ms of it working\n",
                 steps, notch, view->currentPage() + 1, paints, stallPage + 1, stallCpu);
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
    std::printf("zoom10_peak_mb %.0f\n", zoomPeak);
    std::fprintf(stderr, "zoom: RSS %.0f MB before, the zoom added %.0f MB at its peak\n", before, zoomPeak - before);

    // 4. The whole run (VmHWM was reset for the zoom: the higher of the two peaks).
    std::printf("peak_mb %.0f\n", peak);
    std::fflush(stdout);
    return 0;
}
