// Encoding through Qt's writers: JPEG, PNG, TIFF and BMP.

#include "image/codec/CodecInternal.h"

#include <QBuffer>
#include <QImageWriter>

namespace scrivola::codec {

namespace {

// Qt's TIFF writer: 0 = uncompressed, 1 = LZW.
constexpr int kTiffLzw = 1;

QImage prepared(const QImage& image, ImageEncoding encoding) {
    switch (encoding) {
    case ImageEncoding::jpeg:
    case ImageEncoding::bmp: return flattenedOntoWhite(image);  // no alpha in these formats
    case ImageEncoding::png:
    case ImageEncoding::tiff:
    case ImageEncoding::gif:
    case ImageEncoding::heic: break;
    }
    return image;
}

}  // namespace

QByteArray encodeWithQt(const QImage& source, ImageEncoding encoding, const EncodeOptions& options) {
    if (source.isNull()) fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("No image to encode"));
    const QImage image = prepared(source, encoding);
    if (image.isNull()) fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("Out of memory"));

    if (encoding == ImageEncoding::png)
        if (std::optional<QByteArray> plain = encodePlainPng(image)) return *plain;

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QByteArray key;
    QImageWriter writer(&buffer, QByteArray());
    switch (encoding) {
    case ImageEncoding::jpeg: {
        key = "jpeg";
        const double quality = !(options.quality >= 0) ? 0.9 : qMin(options.quality, 1.0);  // negative or NaN: default
        writer.setQuality(qRound(quality * 100));
        writer.setOptimizedWrite(true);
        break;
    }
    case ImageEncoding::png:
        // Lossless either way; Qt maps quality 85 to zlib level 1, which on rendered pages and
        // photos writes files as small as the default level in about half the time.
        key = "png";
        writer.setQuality(85);
        break;
    case ImageEncoding::tiff:
        key = "tiff";
        writer.setCompression(kTiffLzw);
        break;
    case ImageEncoding::bmp: key = "bmp"; break;
    case ImageEncoding::gif:
    case ImageEncoding::heic:
        fail(ImageCodecError::Kind::encodeFailed, QStringLiteral("Not a Qt encoding"));
    }
    writer.setFormat(key);
    if (!writer.write(image))
        fail(ImageCodecError::Kind::encodeFailed,
             QStringLiteral("Could not encode %1: %2").arg(QString::fromLatin1(key), writer.errorString()));
    return bytes;
}

}  // namespace scrivola::codec
