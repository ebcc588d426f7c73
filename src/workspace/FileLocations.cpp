#include "workspace/FileLocations.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace scrivola::FileLocations {

QString absolute(const QString& path) {
    if (path.isEmpty()) return {};
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString canonical(const QString& path) {
    if (path.isEmpty()) return {};
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? absolute(path) : resolved;
}

bool codePointLess(const QString& a, const QString& b) {
    // UTF-16 order differs from code-point order above the surrogates, so compare code points.
    const std::u32string ua = a.toStdU32String();
    const std::u32string ub = b.toStdU32String();
    return ua < ub;
}

QStringList folderFiles(const QString& folder) {
    QDir dir(folder);
    if (!dir.exists() || !dir.isReadable()) return {};
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    QList<QFileInfo> files;
    for (const QFileInfo& entry : entries) {
        // isDir() follows links: a link to any folder, the listed one included, is not entered.
        if (entry.isDir()) continue;
        files.append(entry);
    }
    std::sort(files.begin(), files.end(),
              [](const QFileInfo& a, const QFileInfo& b) { return codePointLess(a.fileName(), b.fileName()); });
    QStringList result;
    for (const QFileInfo& f : files) result.append(QDir::cleanPath(dir.absoluteFilePath(f.fileName())));
    return result;
}

}  // namespace scrivola::FileLocations
