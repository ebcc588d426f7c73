#pragma once

// Generates image files for tests: every format the codec reads, with a pattern whose quadrants
// show orientation, plus deliberately damaged or oversized files. No binary fixtures needed.

#include "support/Files.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

namespace scrivola::testing {

// Quadrant colours of patternImage: top-left, top-right, bottom-left, bottom-right.
inline const QColor kPatternTopLeft{220, 30, 30};
inline const QColor kPatternTopRight{30, 180, 40};
inline const QColor kPatternBottomLeft{30, 40, 210};
inline const QColor kPatternBottomRight{240, 220, 40};

// Four coloured quadrants; with `transparentCorner` the bottom-right quadrant is fully transparent.
QImage patternImage(QSize size, bool transparentCorner = false);

// The pattern encoded by Qt's writers: "png", "jpeg", "tiff", "bmp", "webp" (GIF through the codec).
QByteArray imageBytes(QSize size, const QByteArray& format, bool transparentCorner = false);
QByteArray gifBytes(QSize size, bool transparentCorner = false);
// An SVG document of `size` user units drawing the pattern.
QByteArray svgBytes(QSize size);
// A JPEG that displays as patternImage(displaySize) once its EXIF orientation 6 (turn 90° clockwise)
// is applied: the stored pixels are the pattern turned a quarter counter-clockwise. With
// `exifThumbnail`, the Exif data carries it (stored turned the same way) as its thumbnail.
QByteArray jpegWithExifOrientation6(QSize displaySize, const QImage& exifThumbnail = {});
// A PNG whose header declares `width` × `height` pixels, followed by a tiny IDAT and IEND.
QByteArray pngDeclaringSize(quint32 width, quint32 height);
// A JPEG of the pattern cut off after `keepFraction` of its bytes.
QByteArray truncatedJpeg(QSize size, double keepFraction = 0.6);
// HEIC through the codec's own encoder.
QByteArray heicBytes(QSize size, bool transparentCorner = false);
// A HEIC that displays as patternImage(displaySize) once its rotation box (a quarter turn clockwise,
// like EXIF orientation 6) is applied.
QByteArray heicWithRotation(QSize displaySize);
// AVIF through libheif's AV1 encoder; empty when there is none.
QByteArray avifBytes(QSize size);
// An animated GIF with one frame per colour.
QByteArray multiFrameGif(QSize size, const QList<QColor>& frameColours);
// An uncompressed RGB TIFF with one page (IFD) per colour.
QByteArray multiPageTiff(QSize size, const QList<QColor>& pageColours);

// A w × h image whose four quadrants are pure red, green, blue (bottom-right) and yellow
// (bottom-left), so that turns and flips can be told apart exactly.
QImage quadrantImage(int width, int height);
// Writes `image` to `path` with Qt's writer for `format` ("png", "jpeg", "tiff", "bmp", "webp");
// returns path.
QString writeImage(const QString& path, const QImage& image, const char* format, int dotsPerInch = 72);
// A PNG with a valid header but garbage pixel data: it probes, it does not decode.
QByteArray undecodablePng(quint32 width, quint32 height);
// A photo-like picture: smooth gradients with fine grain, the same for the same seed.
QImage photoImage(QSize size, quint32 seed = 7);
// Each channel of the pixel is within `tolerance` of `expected` (lossy formats allowed).
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

}  // namespace scrivola::testing
