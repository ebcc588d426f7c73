#include "app/core/BrenixStatusService.h"
#include "workspace/AtomicFile.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>

namespace scrivola {

BrenixStatusService::BrenixStatusService(const QString& homeFolder)
    : homeFolder_(homeFolder.isEmpty() ? QDir::homePath() : homeFolder) {}

QString BrenixStatusService::statusFolder() const { return QDir::cleanPath(homeFolder_ + QStringLiteral("/.brenix/status")); }

QString BrenixStatusService::statusFilePath() const { return statusFolder() + QStringLiteral("/scrivola.json"); }

QByteArray BrenixStatusService::statusJson(const QDateTime& now) {
    // QJsonObject keeps its keys sorted, which gives the fixed member order.
    const QJsonObject object{
        {QStringLiteral("app"), QString::fromLatin1(appName)},
        {QStringLiteral("installed_version"), QString::fromLatin1(installedVersion)},
        {QStringLiteral("last_seen"), now.toUTC().toString(Qt::ISODate)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

bool BrenixStatusService::write() const {
    if (!QDir().mkpath(statusFolder())) return false;
    const QByteArray bytes = statusJson(QDateTime::currentDateTimeUtc());
    return writeFileAtomically(statusFilePath(), bytes);
}

}  // namespace scrivola
