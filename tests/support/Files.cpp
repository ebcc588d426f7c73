#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <climits>
#include <cstdlib>

namespace scrivola::testing {

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) return {};
    return path;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    return writeBytes(dir.filePath(name), bytes);
}

bool sameColour(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

namespace {
template <typename Visit>
void forInk(const QImage& image, QRect area, const QColor& background, int tolerance, Visit visit) {
    const QImage img = image.convertToFormat(QImage::Format_ARGB32);
    const QRect r = area.isNull() ? img.rect() : area.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (!sameColour(QColor(img.pixel(x, y)), background, tolerance)) visit(x, y);
}
}  // namespace

QRect inkBounds(const QImage& image, QRect area, const QColor& background, int tolerance) {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = -1, y1 = -1;
    forInk(image, area, background, tolerance, [&](int x, int y) {
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    });
    return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
}

int inkCount(const QImage& image, QRect area, const QColor& background, int tolerance) {
    int n = 0;
    forInk(image, area, background, tolerance, [&](int, int) { ++n; });
    return n;
}

double share(const QImage& image, const QRect& area, const QColor& colour, int tolerance) {
    const QRect r = area & image.rect();
    if (r.isEmpty()) return 0;
    int hits = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) hits += sameColour(image.pixelColor(x, y), colour, tolerance);
    return double(hits) / double(r.width() * r.height());
}

QByteArray runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QByteArray();
    QByteArray out = process.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

bool hasTool(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

}  // namespace scrivola::testing
