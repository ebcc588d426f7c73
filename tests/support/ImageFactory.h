#pragma once

// Generates image files for tests: every format the codec reads, with a pattern whose quadrants
// show orientation, plus deliberately damaged or oversized files. No binary fixtures needed.

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
// is applied: the stored pixels are the pattern turned a quarter counter-clockwise.
QByteArray jpegWithExifOrientation6(QSize displaySize);
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

// Writes bytes to `path`, creating nothing else; returns `path` (empty on failure).
QString writeBytes(const QString& path, const QByteArray& bytes);

}  // namespace scrivola::testing
