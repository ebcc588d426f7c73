#pragma once

#include <QByteArray>
#include <QString>

namespace scrivola {

// Writes `bytes` to a temporary file beside `path` and renames it over `path`. On any failure
// (no folder, a full disk, a short write) the old file stays byte-identical and the reason is
// put into `error` when given.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

}  // namespace scrivola
