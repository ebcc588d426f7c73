// view_bench --startup [FILE.pdf]: Scrivola launched as a new process until its first window is
// painted (SCRIVOLA_EXIT_AFTER_FIRST_PAINT ends it there), beside bare_qt, a bare Qt widget
// program built the same way. Launches alternate, after one unmeasured launch of each; the
// figures are medians of nine whole processes, from fork to exit. With a PDF, the same for the
// window with the PDF's first page painted.
#include "ViewBench.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace scrivola::bench {

namespace {

constexpr int kRuns = 9;

// Milliseconds from starting the program to its exit; negative when it failed.
double launch(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    return double(clock.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int startupBench(const QString& pdf) {
    QTemporaryDir scratch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SCRIVOLA_EXIT_AFTER_FIRST_PAINT"), QStringLiteral("1"));
    // A socket of its own, so that a Scrivola the user is running does not take the launches.
    environment.insert(QStringLiteral("SCRIVOLA_INSTANCE_NAME"), scratch.filePath(QStringLiteral("instance")));
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Settings of their own: a usual launch (the welcome sheet seen once already) and a first start.
    QProcessEnvironment firstStart = environment;
    firstStart.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("first")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
    QDir().mkpath(scratch.filePath(QStringLiteral("config/Scrivola")));
    QFile settings(scratch.filePath(QStringLiteral("config/Scrivola/Scrivola.conf")));
    if (!settings.open(QIODevice::WriteOnly) || settings.write("[General]\nhasSeenWelcome=true\n") < 0) return 1;
    settings.close();

    struct Subject {
        const char* name;
        QString program;
        QStringList arguments;
        const QProcessEnvironment* environment;
        std::vector<double> times;
    };
    std::vector<Subject> subjects = {{"startup_ms", QStringLiteral(SCRIVOLA_APP_PATH), {}, &environment, {}},
                                     {"bare_qt_ms", QStringLiteral(SCRIVOLA_BARE_QT_PATH), {}, &environment, {}},
                                     {"first_start_ms", QStringLiteral(SCRIVOLA_APP_PATH), {}, &firstStart, {}}};
    if (!pdf.isEmpty()) subjects.push_back({"startup_pdf_ms", QStringLiteral(SCRIVOLA_APP_PATH), {pdf}, &environment, {}});
    for (int run = -1; run < kRuns; ++run) {
        for (Subject& subject : subjects) {
            const double ms = launch(subject.program, subject.arguments, *subject.environment);
            if (ms < 0) {
                std::fprintf(stderr, "view_bench: %s did not start and end cleanly\n", qPrintable(subject.program));
                return 1;
            }
            if (run >= 0) subject.times.push_back(ms);
        }
    }
    for (const Subject& subject : subjects) figure(subject.name, median(subject.times));
    std::printf("startup_ratio %.2f\n", median(subjects[0].times) / median(subjects[1].times));
    return 0;
}

}  // namespace scrivola::bench
