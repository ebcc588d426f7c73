#include "ViewBench.h"

#include "app/core/AppearanceSettings.h"
#include "app/core/Theme.h"
#include "workspace/AppViewModel.h"
#include "workspace/ServiceContainer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace scrivola::bench {

namespace {
double clockMs(clockid_t id) {
    timespec now{};
    clock_gettime(id, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}
}  // namespace

double bootMs() { return clockMs(CLOCK_BOOTTIME); }
double threadCpuMs() { return clockMs(CLOCK_THREAD_CPUTIME_ID); }

// Field 22 of /proc/self/stat, in clock ticks since boot. The tick (10 ms) rounds it down: the
// figures err long.
double processStartMs() {
    std::ifstream in("/proc/self/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name (field 2) may hold spaces and parentheses; field 3 follows the last ')'.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) fields >> field;
    return std::stod(field) * 1e3 / double(sysconf(_SC_CLK_TCK));
}

double statusMb(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

bool runUntil(const std::function<bool()>& done, int timeoutMs) {
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

int fail(const char* what) {
    std::fprintf(stderr, "view_bench: %s\n", what);
    return 1;
}

void figure(const char* name, double value) {
    std::printf("%s %.0f\n", name, value);
    std::fflush(stdout);
}

StallRun measureStalls(const std::function<bool()>& step, const std::function<void()>& onNewLongest, double periodMs,
                       int timeoutMs) {
    StallRun run;
    QElapsedTimer clock;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    double lastBeat = 0;
    double lastBeatCpu = threadCpuMs();
    double nextStep = 0;
    bool done = false;
    const auto sinceLastBeat = [&] {
        const double gap = double(clock.nsecsElapsed()) / 1e6 - lastBeat;
        if (gap > run.maxStallMs) {
            run.maxStallMs = gap;
            run.stallCpuMs = threadCpuMs() - lastBeatCpu;
            if (onNewLongest) onNewLongest();
        }
    };
    QObject::connect(&beat, &QTimer::timeout, [&] {
        sinceLastBeat();
        lastBeat = double(clock.nsecsElapsed()) / 1e6;
        lastBeatCpu = threadCpuMs();
        if (lastBeat < nextStep || done) return;
        nextStep = std::max(nextStep + periodMs, lastBeat);
        ++run.steps;
        done = step();
        // The time spent in this step counts even when it is the last one.
        sinceLastBeat();
    });
    clock.start();
    beat.start(1);
    run.finished = runUntil([&] { return done; }, timeoutMs);
    return run;
}

BenchWindow::BenchWindow() {
    settings_ = std::make_unique<QSettings>(scratch_.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    AppearanceSettings appearance(settings_.get());
    const QPalette systemPalette = QApplication::palette();
    QApplication::setPalette(appearance.palette(Theme::isDarkPalette(systemPalette), systemPalette));
    registry_ = std::make_unique<WindowRegistry>();
    recent_ = std::make_unique<RecentDocuments>(settings_.get(), scratch_.filePath(QStringLiteral("recently-used.xbel")));
    WorkspaceEnvironment environment;
    environment.registry = registry_.get();
    environment.recentDocuments = recent_.get();
    environment.settings = settings_.get();
    auto model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(), environment);
    registry_->add(model.get());
    window_ = std::make_unique<WorkspaceWindow>(std::move(model));
}

BenchWindow::~BenchWindow() = default;

void BenchWindow::open(const QStringList& paths) { window_->model()->openFiles(paths); }

}  // namespace scrivola::bench
