#pragma once

#include <QString>
#include <QStringList>

namespace scrivola::FileLocations {

// The absolute, cleaned form of a path ("a/../b.pdf" → "/cwd/b.pdf"); symbolic links are kept.
QString absolute(const QString& path);
// The path with symbolic links resolved when the file exists, else its absolute form: two paths name
// the same file exactly when their canonical forms are equal.
QString canonical(const QString& path);
// The folder's immediate entries that are not folders (nor links to folders), hidden ones included,
// as absolute paths sorted by name in code-point order. Empty when the folder cannot be read.
QStringList folderFiles(const QString& folder);
// Code-point order of two names (upper-case letters before lower-case ones).
bool codePointLess(const QString& a, const QString& b);

}  // namespace scrivola::FileLocations
