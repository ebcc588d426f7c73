#pragma once

// Shared by the codec's translation units only; nothing outside src/image/codec includes this.

#include "image/codec/ImageCodec.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

class QIODevice;

namespace scrivola::codec {

enum class Format { unknown, png, jpeg, gif, bmp, tiff, webp, svg, heic, avif };

// The format named by the first bytes of a file (at least 64 bytes help; SVG needs the opening text).
Format sniff(const QByteArray& head);
// The format a file name's extension claims ("jpg" → jpeg), unknown when none.
Format formatForExtension(const QString& extension);
// Lower-case name used in ImageInfo::format and as the Qt plugin key.
QString formatName(Format format);
QByteArray qtPluginKey(Format format);

[[noreturn]] void fail(ImageCodecError::Kind kind, const QString& message);

// Throws tooLarge when `size` would need more than kMaxImageBytes at 4 bytes per pixel,
// corrupted when it is empty or negative.
void checkPixelBudget(QSize size);
bool exceedsPixelBudget(QSize size);

// Qt's image plugins (PNG, JPEG, TIFF, GIF, BMP, WebP).
void ensureAllocationLimit();
ImageInfo probeWithQt(QIODevice& device, Format format);
QImage decodeWithQt(const QByteArray& data, Format format);
// False when a JPEG stream ends before its end-of-image marker (a truncated download or copy).
bool jpegIsComplete(const QByteArray& data);

// QtSvg, rasterised at the document's natural size.
ImageInfo probeSvg(const QByteArray& data);
QImage decodeSvg(const QByteArray& data);

// libheif (HEIC, AVIF).
ImageInfo probeHeif(const QString& path, Format format);
QImage decodeHeif(const QByteArray& data);
// The smallest thumbnail item of the primary image that covers `bound` once fitted into it, or
// else the primary image itself; the caller scales it down.
QImage decodeHeifThumbnail(const QString& path, QSize bound);
QByteArray encodeHeif(const QImage& image, const EncodeOptions& options);
// HEIC whose irot/imir boxes ask readers to show `stored` turned as the EXIF orientation value says.
QByteArray encodeHeifWithOrientation(const QImage& stored, int exifOrientation);
// Encodes with the AV1 encoder (AVIF); empty when none is available. Used to make test inputs.
QByteArray encodeAvif(const QImage& image, int quality);

// Qt's writers (JPEG, PNG, TIFF, BMP).
QByteArray encodeWithQt(const QImage& image, ImageEncoding encoding, const EncodeOptions& options);

// PNG bytes of a picture without colour profile or text, written by libpng with one row filter
// at a fast compression level; nullopt for other pictures or when libpng fails.
std::optional<QByteArray> encodePlainPng(const QImage& image);

// The image with transparent areas painted onto white, opaque RGB32; colour space and DPI kept.
QImage flattenedOntoWhite(const QImage& image);

// A QColorSpace for an nclx description (primaries, transfer characteristics from ITU-T H.273).
QColorSpace colorSpaceFromNclx(int primaries, int transfer, double rx, double ry, double gx, double gy,
                               double bx, double by, double wx, double wy);

}  // namespace scrivola::codec
