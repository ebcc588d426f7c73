#pragma once

// Image decoding, encoding and drawing helpers: the only code that talks to the image libraries
// (Qt's image plugins, QtSvg and libheif). Everything above it sees QImage and these types.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>

class QPainter;

namespace scrivola {

// Pixels of one decoded image may need at most this many bytes.
constexpr qint64 kMaxImageBytes = qint64(1) << 30;

class ImageCodecError : public std::runtime_error {
public:
    enum class Kind { notFound, unreadable, unsupported, tooLarge, corrupted, encodeFailed, writeFailed };
    ImageCodecError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// What a file's header says, read without decoding the pixels.
struct ImageInfo {
    QString format;          // lower-case: "png", "jpeg", "tiff", "gif", "bmp", "webp", "svg", "heic", "avif"
    QSize pixelSize;         // after EXIF orientation
    int frameCount = 1;      // >1 for multi-page TIFF or animated GIF/WebP
    bool hasAlpha = false;
};

// Encodings the codec can write.
enum class ImageEncoding { jpeg, png, tiff, bmp, gif, heic };

struct EncodeOptions {
    double quality = -1;  // 0...1 for jpeg, heic (and tiff: lossy when < 1); < 0 means the encoder's default
    // HEIC encoder speed preset: a faster preset costs a little size (see ImageCodec.cpp).
    bool fastHeic = true;
};

namespace ImageCodec {

// Reads the header only. Throws ImageCodecError (notFound, unreadable, unsupported, tooLarge).
ImageInfo probe(const QString& path);

// Decodes the first frame of a file: EXIF orientation applied, the embedded colour profile kept
// as the image's colour space (QImage::colorSpace()), dots per meter from the file.
// Refuses (tooLarge) before decoding when the pixels would need more than kMaxImageBytes.
QImage decode(const QString& path);
QImage decode(const QByteArray& data, const QString& formatHint = {});

// Encoding to bytes; throws ImageCodecError(encodeFailed). The image's colour profile is
// embedded where the format allows it.
QByteArray encode(const QImage& image, ImageEncoding encoding, const EncodeOptions& options = {});
// The encoder for a file extension ("jpg", "jpeg", "png", "tif", "tiff", "bmp", "gif", "heic", "heif"), if any.
std::optional<ImageEncoding> encodingForExtension(const QString& extension);
QString extension(ImageEncoding encoding);  // canonical extension, e.g. "jpeg"

// Writes bytes through a temporary file beside `path` renamed over it; throws writeFailed.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

// A copy converted to sRGB for display (a no-op for untagged or sRGB images).
QImage toDisplayColorSpace(const QImage& image);

}  // namespace ImageCodec

namespace ImageDrawing {

// An ARGB32-premultiplied image of `pixelSize`, transparent, drawn by `draw` with antialiasing.
QImage drawImage(QSize pixelSize, const std::function<void(QPainter&)>& draw);

// An exact quarter turn in pixels (degrees clockwise, a multiple of 90), keeping DPI and colour space.
QImage rotated(const QImage& image, int degreesClockwise);

// High-quality downscale to `size` pixels (smooth transformation, area-averaging for big factors).
QImage scaled(const QImage& image, QSize size);

// Point size of an image: pixels × 72 / its DPI (72 DPI when the image carries none).
QSizeF pointSize(const QImage& image);

}  // namespace ImageDrawing

}  // namespace scrivola
