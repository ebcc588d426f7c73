#pragma once

// Files for the image model and context tests, written on the fly.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

namespace scrivola::imagetest {

// A w × h image whose four quadrants have distinct colours (red, green, blue, yellow from the
// top-left, clockwise), so that turns and flips can be told apart.
QImage quadrantImage(int width, int height);

// Writes `image` to `path` with Qt's writer for `format` ("png", "jpeg", "tiff", "bmp"); returns path.
QString writeImage(const QString& path, const QImage& image, const char* format, int dotsPerInch = 72);
QString writeBytes(const QString& path, const QByteArray& bytes);
QByteArray readBytes(const QString& path);

// A PNG with a valid header but garbage pixel data: it probes, it does not decode.
QByteArray undecodablePng(quint32 width, quint32 height);

// The colour of the pixel at (x, y) is close to `expected` (lossy formats allowed).
bool near(QRgb actual, QRgb expected, int tolerance = 40);

// Marks a file immutable (it can be neither replaced nor removed, also not by root) while alive.
// Inactive where the file system does not support the flag.
class ImmutableFile {
public:
    explicit ImmutableFile(const QString& path);
    ~ImmutableFile();
    bool isActive() const { return active_; }

private:
    QString path_;
    bool active_ = false;
};

}  // namespace scrivola::imagetest
