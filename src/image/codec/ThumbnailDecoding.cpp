// Small pictures for lists of images, decoded without keeping the full-size pixels: a JPEG's
// embedded Exif thumbnail, JPEG DCT scaling through QImageReader's scaled size, HEIF thumbnail
// items, SVG drawn straight at the small size.

#include "image/codec/CodecInternal.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <optional>

namespace scrivola::ImageCodec {

using codec::Format;
using Kind = ImageCodecError::Kind;

namespace {

constexpr qint64 kSniffBytes = 65536;
// The Exif segment is at most 64 KB and comes first after the start of image, possibly behind a
// JFIF segment: this much of the file always holds it.
constexpr qint64 kExifSearchBytes = 70000;
constexpr qint64 kMaxSvgBytes = qint64(64) << 20;

// `size` scaled down into `bound` keeping its shape; never enlarged, never below one pixel.
QSize fitted(QSize size, QSize bound) {
    if (size.width() <= bound.width() && size.height() <= bound.height()) return size;
    return size.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage fitInto(const QImage& image, QSize bound) {
    const QSize target = fitted(image.size(), bound);
    return target == image.size() ? image : ImageDrawing::scaled(image, target);
}

// The orientation a reader reports applied to an image, in the order Qt applies it itself.
QImage transformedBy(const QImage& image, QImageIOHandler::Transformations transformation) {
    if (transformation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    QImage result = image.mirrored(transformation & QImageIOHandler::TransformationMirror,
                                   transformation & QImageIOHandler::TransformationFlip);
    if (transformation & QImageIOHandler::TransformationRotate90) result = result.transformed(QTransform().rotate(90));
    return result;
}

// Reads TIFF-structured Exif data of either byte order, every read checked against its end.
class TiffReader {
public:
    explicit TiffReader(QByteArray data) : data_(std::move(data)), bigEndian_(data_.startsWith("MM")) {}
    bool isValid() const { return data_.startsWith(QByteArray("MM\0*", 4)) || data_.startsWith(QByteArray("II*\0", 4)); }
    std::optional<quint32> u16(qint64 at) const { return read(at, 2); }
    std::optional<quint32> u32(qint64 at) const { return read(at, 4); }
    QByteArray bytes(qint64 at, qint64 length) const {
        if (at < 0 || length <= 0 || at + length > data_.size()) return {};
        return data_.mid(at, length);
    }
    // The value of an IFD entry of type SHORT or LONG with this tag.
    std::optional<quint32> tagValue(qint64 ifd, quint16 tag) const {
        const std::optional<quint32> entries = u16(ifd);
        for (quint32 i = 0; entries && i < *entries; ++i) {
            const qint64 entry = ifd + 2 + 12 * qint64(i);
            if (u16(entry) != tag) continue;
            const std::optional<quint32> type = u16(entry + 2);
            if (type == 3u) return u16(entry + 8);
            if (type == 4u) return u32(entry + 8);
            return std::nullopt;
        }
        return std::nullopt;
    }
    std::optional<quint32> nextIfd(qint64 ifd) const {
        const std::optional<quint32> entries = u16(ifd);
        if (!entries) return std::nullopt;
        return u32(ifd + 2 + 12 * qint64(*entries));
    }

private:
    std::optional<quint32> read(qint64 at, int size) const {
        if (at < 0 || at + size > data_.size()) return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < size; ++i) {
            const quint32 byte = quint8(data_[at + (bigEndian_ ? i : size - 1 - i)]);
            value = (value << 8) | byte;
        }
        return value;
    }
    QByteArray data_;
    bool bigEndian_;
};

// The JPEG data of the thumbnail in a JPEG's Exif segment (IFD1), empty when there is none.
QByteArray exifThumbnailData(const QByteArray& head) {
    const auto* bytes = reinterpret_cast<const uchar*>(head.constData());
    const qsizetype n = head.size();
    if (n < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return {};
    qsizetype pos = 2;
    while (pos + 4 <= n && bytes[pos] == 0xFF) {
        const uchar marker = bytes[pos + 1];
        if (marker == 0xDA || marker == 0xD9) break;  // pixel data begins: no Exif segment
        const int length = (bytes[pos + 2] << 8) | bytes[pos + 3];
        if (length < 2) break;
        if (marker == 0xE1 && length > 8 && head.mid(pos + 4, 6) == QByteArray("Exif\0\0", 6)) {
            const TiffReader tiff(head.mid(pos + 10, length - 8));
            if (!tiff.isValid()) return {};
            const std::optional<quint32> ifd0 = tiff.u32(4);
            const std::optional<quint32> ifd1 = ifd0 ? tiff.nextIfd(*ifd0) : std::nullopt;
            if (!ifd1 || *ifd1 == 0) return {};
            const std::optional<quint32> offset = tiff.tagValue(*ifd1, 0x0201);
            const std::optional<quint32> size = tiff.tagValue(*ifd1, 0x0202);
            if (!offset || !size) return {};
            return tiff.bytes(*offset, *size);
        }
        pos += 2 + length;
    }
    return {};
}

// The Exif thumbnail oriented like the main image, when it covers `target` and has the main
// image's shape (some cameras pad theirs with black bars to a fixed shape).
QImage usableExifThumbnail(const QByteArray& head, QSize shown, QSize target,
                           QImageIOHandler::Transformations transformation) {
    QByteArray data = exifThumbnailData(head);
    if (data.isEmpty()) return {};
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(false);  // the thumbnail carries no orientation of its own
    const QSize stored = reader.size();
    if (!stored.isValid() || codec::exceedsPixelBudget(stored)) return {};
    QImage thumbnail;
    if (!reader.read(&thumbnail) || thumbnail.isNull()) return {};
    thumbnail = transformedBy(thumbnail, transformation);
    if (thumbnail.width() < target.width() || thumbnail.height() < target.height()) return {};
    const double shape = double(shown.width()) / shown.height();
    const double thumbnailShape = double(thumbnail.width()) / thumbnail.height();
    if (std::abs(thumbnailShape - shape) > 0.02 * shape) return {};
    return ImageDrawing::scaled(thumbnail, target);
}

QImage thumbnailWithQt(QFile& file, Format format, QSize bound) {
    codec::ensureAllocationLimit();
    const QByteArray head = format == Format::jpeg ? file.peek(kExifSearchBytes) : QByteArray();
    QImageReader reader(&file, codec::qtPluginKey(format));
    reader.setAutoTransform(true);
    const QString failure = QStringLiteral("Could not decode the %1 image").arg(codec::formatName(format));
    if (!reader.canRead()) codec::fail(Kind::corrupted, failure);
    // The scaled size is in stored orientation: Qt turns the image after scaling it.
    if (const QSize stored = reader.size(); stored.isValid()) {
        codec::checkPixelBudget(stored);
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const QSize shown = turned ? stored.transposed() : stored;
        const QSize target = fitted(shown, bound);
        if (format == Format::jpeg) {
            const QImage exif = usableExifThumbnail(head, shown, target, reader.transformation());
            if (!exif.isNull()) return exif;
        }
        if (target != shown) reader.setScaledSize(turned ? target.transposed() : target);
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) codec::fail(Kind::corrupted, failure);
    return fitInto(image, bound);  // plugins that could not tell their size beforehand
}

QImage svgThumbnail(QFile& file, QSize bound) {
    if (file.size() > kMaxSvgBytes) codec::fail(Kind::tooLarge, QStringLiteral("The SVG document is too large"));
    QSvgRenderer renderer(file.readAll());
    if (!renderer.isValid()) codec::fail(Kind::corrupted, QStringLiteral("The SVG document could not be read"));
    const QSize natural = renderer.defaultSize();
    codec::checkPixelBudget(natural);
    QImage image(fitted(natural, bound), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())));
    painter.end();
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}

}  // namespace

QImage decodeThumbnail(const QString& path, QSize bound) {
    bound = bound.expandedTo(QSize(1, 1));
    QFile file(path);
    // Missing, unreadable and folder paths fail as decode() reports them.
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) return fitInto(decode(path), bound);
    switch (codec::sniff(file.peek(kSniffBytes))) {
    case Format::png: return thumbnailWithQt(file, Format::png, bound);
    case Format::jpeg: return thumbnailWithQt(file, Format::jpeg, bound);
    case Format::gif: return thumbnailWithQt(file, Format::gif, bound);
    case Format::bmp: return thumbnailWithQt(file, Format::bmp, bound);
    case Format::tiff: return thumbnailWithQt(file, Format::tiff, bound);
    case Format::webp: return thumbnailWithQt(file, Format::webp, bound);
    case Format::svg: return svgThumbnail(file, bound);
    case Format::heic:
    case Format::avif: return fitInto(codec::decodeHeifThumbnail(path, bound), bound);
    case Format::unknown: break;
    }
    return fitInto(decode(path), bound);
}

}  // namespace scrivola::ImageCodec
