#include "workspace/RecentDocuments.h"

#include "workspace/DocumentTypes.h"
#include "workspace/FileLocations.h"
#include "workspace/RecentlyUsedXbel.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace scrivola {
using FileLocations::canonical;

RecentDocuments::RecentDocuments(QSettings* settings, const QString& desktopListFile, QObject* parent)
    : QObject(parent), settings_(settings), desktopListFile_(desktopListFile) {
    if (!settings_) {
        ownSettings_ = std::make_unique<QSettings>();
        settings_ = ownSettings_.get();
    }
}

RecentDocuments::~RecentDocuments() = default;

QStringList RecentDocuments::stored() const { return settings_->value(kSettingsKey).toStringList(); }

void RecentDocuments::store(const QStringList& paths) {
    if (paths.isEmpty())
        settings_->remove(kSettingsKey);
    else
        settings_->setValue(kSettingsKey, paths);
    settings_->sync();
}

void RecentDocuments::note(const QString& path) { note(QStringList{path}); }

void RecentDocuments::note(const QStringList& paths) {
    QStringList entries;
    for (const QString& p : stored()) entries << canonical(p);
    QList<QPair<QString, QString>> desktop;
    for (const QString& path : paths) {
        if (path.isEmpty()) continue;
        const QString entry = canonical(path);
        entries.removeAll(entry);
        entries.prepend(entry);
        QString mimeType = QStringLiteral("application/octet-stream");
        const QString suffix = QFileInfo(entry).suffix().toLower();
        for (const auto& t : DocumentTypes::supportedContentTypes())
            if (t.extensions.contains(suffix)) mimeType = t.mimeType;
        desktop.append({entry, mimeType});
    }
    if (desktop.isEmpty()) return;
    entries.removeDuplicates();
    while (entries.size() > kMaximum) entries.removeLast();
    store(entries);
    if (!desktopListFile_.isEmpty()) RecentlyUsedXbel::add(desktopListFile_, desktop);
    emit changed();
}

QStringList RecentDocuments::list() {
    const QStringList paths = stored();
    QStringList existing;
    for (const QString& p : paths)
        if (QFileInfo(p).isFile() && !existing.contains(p)) existing.append(p);
    if (existing != paths) {
        store(existing);
        emit changed();
    }
    return existing;
}

void RecentDocuments::clear() {
    if (stored().isEmpty()) return;
    store({});
    emit changed();
}

}  // namespace scrivola
