#pragma once

// Runs the built scrivola-cli (its path comes from the build) and collects what it printed.

#include "support/Files.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#if defined(__SANITIZE_ADDRESS__)
#define SCRIVOLA_CLI_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCRIVOLA_CLI_ASAN 1
#endif
#endif

namespace scrivola::testing {

struct CliRun {
    int exitCode = -1;  // -1 when the process crashed or did not finish
    QString out;
    QString err;
};

inline CliRun runCli(const QStringList& args, int timeoutMs = 120000) {
    QProcess process;
#ifdef SCRIVOLA_CLI_ASAN
    // Leaks are looked for in process, where the suppressions of the test main apply (the HEIC
    // encoder's own would fail every conversion here).
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process.setProcessEnvironment(environment);
#endif
    process.start(QStringLiteral(SCRIVOLA_CLI_PATH), args);
    process.waitForFinished(timeoutMs);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace scrivola::testing
