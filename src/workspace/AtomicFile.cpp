#include "workspace/AtomicFile.h"

#include <QSaveFile>

namespace scrivola {

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    auto failed = [&](const QString& reason) {
        if (error) *error = reason;
        return false;
    };
    if (path.isEmpty()) return failed(QStringLiteral("No file location given"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return failed(file.errorString());
    // Flush before commit: QSaveFile renames even when its final flush fails (a full disk),
    // which would put a cut-off file in place of the old one.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failed(reason);
    }
    if (!file.commit()) return failed(file.errorString());
    return true;
}

}  // namespace scrivola
