#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace scrivola {

// Writes the launch status file "<home>/.brenix/status/scrivola.json": a pretty-printed JSON
// object with "app", "installed_version" and "last_seen" (UTC, ISO 8601, seconds, "Z").
// Nothing else reads it; every failure is silent and the application runs on.
class BrenixStatusService {
public:
    static constexpr const char* appName = "scrivola";
    static constexpr const char* installedVersion = "0.1.0";

    // homeFolder: empty for the user's home directory.
    explicit BrenixStatusService(const QString& homeFolder = {});

    // Creates the folder and replaces the file atomically. True when the file was written;
    // callers may ignore the result.
    bool write() const;

    QString statusFolder() const;
    QString statusFilePath() const;

    // The file's bytes for a given moment.
    static QByteArray statusJson(const QDateTime& now);

private:
    QString homeFolder_;
};

}  // namespace scrivola
