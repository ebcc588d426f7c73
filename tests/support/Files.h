#pragma once

// Files, pixels and programs: the small helpers every test executable shares.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

class QTemporaryDir;

namespace scrivola::testing {

// The file's bytes; empty when it cannot be read.
QByteArray readBytes(const QString& path);
// Writes bytes to `path`, creating nothing else; returns `path` (empty on failure).
QString writeBytes(const QString& path, const QByteArray& bytes);
// Writes `bytes` to `name` inside `dir`; returns the path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

// True when each channel of `a` is within `tolerance` of `b`'s.
bool sameColour(const QColor& a, const QColor& b, int tolerance = 12);
// The bounding box of the pixels inside `area` (the whole image when null) whose colour differs
// from `background` by more than `tolerance` in a channel; null when none.
QRect inkBounds(const QImage& image, QRect area = {}, const QColor& background = Qt::white, int tolerance = 55);
// The number of such pixels.
int inkCount(const QImage& image, QRect area = {}, const QColor& background = Qt::white, int tolerance = 55);
// The share of pixels in `area` within `tolerance` of `colour`.
double share(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 40);

// Runs a program; its standard output, or a null array when it could not run or failed.
QByteArray runTool(const QString& program, const QStringList& arguments);
bool hasTool(const QString& program);

}  // namespace scrivola::testing
