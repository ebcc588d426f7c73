#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace scrivola {

// The desktop's shared list of recently used files (XBEL, "~/.local/share/recently-used.xbel").
namespace RecentlyUsedXbel {

// The desktop's file: $XDG_DATA_HOME/recently-used.xbel (~/.local/share when unset).
QString defaultFile();

// Records that this application used the file now: updates its bookmark (or appends one) and this
// application's entry in it, keeping every other entry as it was. The file is rewritten atomically;
// a file that cannot be parsed is left untouched. Returns whether the list was written.
bool add(const QString& xbelFile, const QString& path, const QString& mimeType,
         const QString& appName = QStringLiteral("Scrivola"), const QString& exec = QStringLiteral("'scrivola %u'"));
// The same for several files (path, MIME type) used together, in one rewrite of the list: a
// collection of hundreds of images costs one write, not one per image.
bool add(const QString& xbelFile, const QList<QPair<QString, QString>>& files,
         const QString& appName = QStringLiteral("Scrivola"), const QString& exec = QStringLiteral("'scrivola %u'"));

}  // namespace RecentlyUsedXbel
}  // namespace scrivola
