// Shared pieces of view_bench: clocks and memory figures of this process, an event loop that
// runs until a condition holds, a heartbeat that measures main-thread stalls, and the
// application's window started as the application starts it (settings in a scratch folder).
#pragma once

#include "ui/WorkspaceWindow.h"
#include "workspace/RecentDocuments.h"
#include "workspace/WindowRegistry.h"

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>

namespace scrivola::bench {

// Milliseconds on the boot clock, the clock the kernel keeps process start times on.
double bootMs();
// When the kernel started this process, on the boot clock, so that loading the libraries counts.
double processStartMs();
// A memory figure of /proc/self/status (VmHWM, VmRSS) in MB.
double statusMb(const std::string& key);
// CPU time of the calling thread in milliseconds.
double threadCpuMs();
// VmHWM starts again from the current resident set.
void resetPeak();
// Runs the event loop until `done` holds (checked every 5 ms); false after `timeoutMs`.
bool runUntil(const std::function<bool()>& done, int timeoutMs = 60000);
// Prints "view_bench: what" on stderr and returns 1.
int fail(const char* what);
// Prints "name value" on stdout at once (the figures are read as they come).
void figure(const char* name, double value);

// The longest gap between two turns of the main event loop while `step` runs on a schedule.
// A 1 ms heartbeat runs on every turn that is otherwise idle; the gap between two beats is how
// long the loop was kept from turning. The beat also calls `step` every `periodMs` (60 Hz by
// default), which a millisecond timer could not keep; `step` returns true when it is done.
struct StallRun {
    bool finished = false;
    int steps = 0;
    double maxStallMs = 0;
    double stallCpuMs = 0;  // how much of the longest stall the main thread worked
};
StallRun measureStalls(const std::function<bool()>& step, const std::function<void()>& onNewLongest = {},
                       double periodMs = 1000.0 / 60, int timeoutMs = 600000);

// The application's window, made as the application makes it, with its settings and recent
// files in a scratch folder so that a run leaves the user's own untouched (signatures and
// stamps are the user's: loading them is part of starting).
class BenchWindow {
public:
    BenchWindow();
    ~BenchWindow();
    WorkspaceWindow& window() { return *window_; }
    // Opens files by absolute path in the window, as the Open command does.
    void open(const QStringList& paths);

private:
    QTemporaryDir scratch_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<WindowRegistry> registry_;
    std::unique_ptr<RecentDocuments> recent_;
    std::unique_ptr<WorkspaceWindow> window_;
};

// The modes of view_bench (each prints its figures; 0 on success).
int pdfViewBench(double launchedAt, const QString& file);
int thumbnailsBench(double launchedAt, const QString& file);
int imagesBench(double launchedAt, const QStringList& paths);
int compressBench(const QString& file);
// Launches of the application beside a bare Qt program (and with `pdf`, when given).
int startupBench(const QString& pdf);

}  // namespace scrivola::bench
