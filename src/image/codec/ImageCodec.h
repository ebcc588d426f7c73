#pragma once

// Image decoding, encoding and drawing helpers: the only code that talks to the image libraries
// (Qt's image plugins, QtSvg and libheif). Everything above it sees QImage and these types.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>
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
    // 0...1 for jpeg (default 0.9) and heic (default 0.8); < 0 means the default. PNG, TIFF (LZW,
    // lossless), BMP and GIF ignore it.
    double quality = -1;
    // HEIC encoder speed preset: a faster x265 preset costs a little size for several times the speed.
    bool fastHeic = true;
};

namespace ImageCodec {

// Reads the header only. Throws ImageCodecError (notFound, unreadable, unsupported, tooLarge,
// corrupted when the header itself is damaged).
ImageInfo probe(const QString& path);

// Decodes the first frame of a file: EXIF orientation applied, the embedded colour profile kept
// as the image's colour space (QImage::colorSpace()), dots per meter from the file.
// Refuses (tooLarge) before decoding when the pixels would need more than kMaxImageBytes.
QImage decode(const QString& path);
// A small picture of the file for lists of images: fitted into `bound` (aspect kept, never
// enlarged), EXIF orientation applied, made as cheaply as the format allows: a JPEG's embedded
// Exif thumbnail when it is large enough and of the same shape, else JPEG DCT scaling; a HEIF
// thumbnail item; SVG drawn at the small size. The full-size pixels are never kept.
// Throws ImageCodecError as decode() does.
QImage decodeThumbnail(const QString& path, QSize bound);
// `formatHint` is a file extension or format name; the bytes decide the format, the hint only decides
// whether unrecognised bytes are a damaged file (corrupted) or an unknown format (unsupported).
QImage decode(const QByteArray& data, const QString& formatHint = {});

// A quick, reduced decode for showing while the full decode runs: a JPEG is decoded by libjpeg's
// DCT scaling straight to about `maxSize` (fitted, orientation applied, never enlarged), several
// times faster than a full decode. Null for other formats, which have no cheaper path, and for
// files that cannot be read. Never throws.
QImage decodePreview(const QString& path, QSize maxSize);

// Encoding to bytes; throws ImageCodecError(encodeFailed). The image's colour profile is
// embedded where the format allows it (JPEG, PNG, TIFF, HEIC); BMP and GIF are written in sRGB.
// JPEG and BMP have no alpha: transparent areas are flattened onto white.
QByteArray encode(const QImage& image, ImageEncoding encoding, const EncodeOptions& options = {});
// Re-encodes JPEG data as JPEG at `quality` (0...1, as for encode()) a band of rows at a time,
// never holding the decoded picture: pixels as stored, the Exif (with its orientation), XMP and
// colour-profile segments copied. Nothing (nullopt) when the data is not a JPEG this path takes
// (CMYK); throws corrupted for damaged or truncated data, tooLarge past kMaxImageBytes.
std::optional<QByteArray> transcodeJpeg(const QByteArray& jpeg, double quality);
// The encoder for a file extension ("jpg", "jpeg", "png", "tif", "tiff", "bmp", "gif", "heic", "heif"), if any.
std::optional<ImageEncoding> encodingForExtension(const QString& extension);
QString extension(ImageEncoding encoding);  // canonical extension, e.g. "jpeg"

// Writes bytes through a temporary file beside `path` renamed over it; throws writeFailed.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

// A copy converted to sRGB for display (a no-op for untagged or sRGB images).
QImage toDisplayColorSpace(const QImage& image);

}  // namespace ImageCodec

// Writes an opaque PNG of a drawn page a band of rows at a time (RGB32 rows, top to bottom)
// through a temporary file that finish() renames over `path`: a large picture is never whole in
// memory. Every step
// throws ImageCodecError; a writer destroyed before finish() leaves the target untouched.
class PngBandWriter {
public:
    PngBandWriter(const QString& path, QSize size, int dotsPerMeter = 0);
    ~PngBandWriter();
    PngBandWriter(const PngBandWriter&) = delete;
    PngBandWriter& operator=(const PngBandWriter&) = delete;
    void writeRows(const QImage& rows);
    void finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

namespace ImageDrawing {

// An ARGB32-premultiplied image of `pixelSize`, transparent, drawn by `draw` with antialiasing.
// A null image for an empty size or one beyond kMaxImageBytes.
QImage drawImage(QSize pixelSize, const std::function<void(QPainter&)>& draw);

// An exact quarter turn in pixels (degrees clockwise, a multiple of 90), keeping DPI and colour space.
// Other angles turn smoothly onto a canvas that holds the whole picture, with transparent corners.
QImage rotated(const QImage& image, int degreesClockwise);

// High-quality downscale to `size` pixels (smooth transformation, area-averaging for big factors).
QImage scaled(const QImage& image, QSize size);

// Point size of an image: pixels × 72 / its DPI (72 DPI when the image carries none, that is when it
// still has the 96 DPI that Qt gives every new image).
QSizeF pointSize(const QImage& image);

}  // namespace ImageDrawing

}  // namespace scrivola
