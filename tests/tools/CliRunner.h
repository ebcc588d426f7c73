#pragma once

// Runs the built scrivola-cli (its path comes from the build) and collects what it printed.

#include "support/Files.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace scrivola::testing {

struct CliRun {
    int exitCode = -1;  // -1 when the process crashed or did not finish
    QString out;
    QString err;
};

inline CliRun runCli(const QStringList& args, int timeoutMs = 120000) {
    QProcess process;
    process.start(QStringLiteral(SCRIVOLA_CLI_PATH), args);
    process.waitForFinished(timeoutMs);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

inline QByteArray readFileBytes(const QString& path) { return readBytes(path); }

}  // namespace scrivola::testing
