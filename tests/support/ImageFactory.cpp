#include "support/ImageFactory.h"

#include "image/codec/CodecInternal.h"
#include "image/codec/GifEncoder.h"
#include "image/codec/ImageCodec.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <QFile>
#include <QRandomGenerator>

#include <cmath>

#include <array>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace scrivola::testing {

namespace {

quint32 crc32(const QByteArray& data) {
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 crc = 0xFFFFFFFFu;
    for (const char ch : data) crc = table[(crc ^ uchar(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void appendBigEndian32(QByteArray& out, quint32 v) {
    for (int shift : {24, 16, 8, 0}) out.append(char((v >> shift) & 0xFF));
}

void appendPngChunk(QByteArray& out, const char* type, const QByteArray& payload) {
    appendBigEndian32(out, quint32(payload.size()));
    const QByteArray typed = QByteArray(type, 4) + payload;
    out.append(typed);
    appendBigEndian32(out, crc32(typed));
}

void appendLittleEndian16(QByteArray& out, quint16 v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void appendLittleEndian32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFF));
}

}  // namespace

QImage patternImage(QSize size, bool transparentCorner) {
    QImage image(size, QImage::Format_ARGB32);
    const int halfW = size.width() / 2, halfH = size.height() / 2;
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const bool left = x < halfW, top = y < halfH;
            QColor c = top ? (left ? kPatternTopLeft : kPatternTopRight) : (left ? kPatternBottomLeft : kPatternBottomRight);
            if (transparentCorner && !left && !top) c = Qt::transparent;
            line[x] = c.rgba();
        }
    }
    if (!transparentCorner) image = image.convertToFormat(QImage::Format_RGB32);
    return image;
}

QByteArray imageBytes(QSize size, const QByteArray& format, bool transparentCorner) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (format == "webp") writer.setQuality(100);
    if (format == "jpeg") writer.setQuality(95);
    writer.write(patternImage(size, transparentCorner));
    return bytes;
}

QByteArray gifBytes(QSize size, bool transparentCorner) {
    return codec::encodeGif({patternImage(size, transparentCorner)});
}

QByteArray svgBytes(QSize size) {
    const int w = size.width(), h = size.height(), hw = w / 2, hh = h / 2;
    const auto rect = [](int x, int y, int rw, int rh, const QColor& colour) {
        return QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"/>\n")
            .arg(x).arg(y).arg(rw).arg(rh).arg(colour.name());
    };
    return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                           "width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\">\n").arg(w).arg(h) +
            rect(0, 0, hw, hh, kPatternTopLeft) + rect(hw, 0, w - hw, hh, kPatternTopRight) +
            rect(0, hh, hw, h - hh, kPatternBottomLeft) + rect(hw, hh, w - hw, h - hh, kPatternBottomRight) +
            QStringLiteral("</svg>\n")).toUtf8();
}

static QByteArray jpegBytesOf(const QImage& image) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(image);
    return jpeg;
}

QByteArray jpegWithExifOrientation6(QSize displaySize, const QImage& exifThumbnail) {
    // Orientation 6 asks the reader to turn the stored pixels 90° clockwise.
    const QImage stored = patternImage(displaySize).transformed(QTransform().rotate(-90));
    const QByteArray jpeg = jpegBytesOf(stored);

    // APP1 "Exif": a big-endian TIFF header and IFD0 with the Orientation tag (0x0112, SHORT);
    // with a thumbnail, IFD1 pointing at its JPEG data (0x0201 offset, 0x0202 length, LONG).
    const QByteArray thumbnail =
        exifThumbnail.isNull() ? QByteArray() : jpegBytesOf(exifThumbnail.transformed(QTransform().rotate(-90)));
    QByteArray tiff("MM\0*", 4);
    appendBigEndian32(tiff, 8);                 // offset of IFD0
    tiff.append(char(0)).append(char(1));       // one entry
    tiff.append("\x01\x12\x00\x03", 4);         // tag, type SHORT
    appendBigEndian32(tiff, 1);                 // count
    tiff.append("\x00\x06\x00\x00", 4);         // value 6, padded
    appendBigEndian32(tiff, thumbnail.isEmpty() ? 0 : 26);  // IFD1 follows IFD0 (8 + 2 + 12 + 4)
    if (!thumbnail.isEmpty()) {
        tiff.append(char(0)).append(char(2));
        tiff.append("\x02\x01\x00\x04", 4);
        appendBigEndian32(tiff, 1);
        appendBigEndian32(tiff, 26 + 2 + 24 + 4);  // the data follows IFD1
        tiff.append("\x02\x02\x00\x04", 4);
        appendBigEndian32(tiff, 1);
        appendBigEndian32(tiff, quint32(thumbnail.size()));
        appendBigEndian32(tiff, 0);
        tiff.append(thumbnail);
    }
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    const int length = int(payload.size()) + 2;
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    segment.append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

static QByteArray pngWithPixelStream(quint32 width, quint32 height, const QByteArray& idat) {
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    QByteArray header;
    appendBigEndian32(header, width);
    appendBigEndian32(header, height);
    header.append(char(8)).append(char(6)).append(char(0)).append(char(0)).append(char(0));  // 8-bit RGBA
    appendPngChunk(png, "IHDR", header);
    appendPngChunk(png, "IDAT", idat);
    appendPngChunk(png, "IEND", {});
    return png;
}

QByteArray pngDeclaringSize(quint32 width, quint32 height) {
    return pngWithPixelStream(width, height, qCompress(QByteArray(64, '\0')).mid(4));  // one short row
}

QByteArray undecodablePng(quint32 width, quint32 height) {
    return pngWithPixelStream(width, height, QByteArray(64, '\x5a'));
}

QByteArray truncatedJpeg(QSize size, double keepFraction) {
    const QByteArray jpeg = imageBytes(size, "jpeg");
    return jpeg.left(qsizetype(jpeg.size() * keepFraction));
}

QByteArray heicBytes(QSize size, bool transparentCorner) {
    EncodeOptions options;
    options.quality = 0.9;
    return ImageCodec::encode(patternImage(size, transparentCorner), ImageEncoding::heic, options);
}

QByteArray heicWithRotation(QSize displaySize) {
    return codec::encodeHeifWithOrientation(patternImage(displaySize).transformed(QTransform().rotate(-90)), 6);
}

QByteArray avifBytes(QSize size) {
    return codec::encodeAvif(patternImage(size), 90);
}

QByteArray multiFrameGif(QSize size, const QList<QColor>& frameColours) {
    QList<QImage> frames;
    for (const QColor& colour : frameColours) {
        QImage frame(size, QImage::Format_RGB32);
        frame.fill(colour);
        frames.append(frame);
    }
    return codec::encodeGif(frames, 10);
}

QByteArray multiPageTiff(QSize size, const QList<QColor>& pageColours) {
    // Little-endian baseline TIFF: per page, uncompressed RGB pixels followed by their IFD.
    const int w = size.width(), h = size.height();
    const quint32 pixelBytes = quint32(w * h * 3);
    QByteArray out("II*\0", 4);
    appendLittleEndian32(out, 8);  // first IFD offset, patched below
    constexpr int kEntries = 10;
    QList<qsizetype> nextOffsetPositions;
    for (qsizetype page = 0; page < pageColours.size(); ++page) {
        const quint32 pixelsAt = quint32(out.size());
        const QColor c = pageColours[page];
        for (int i = 0; i < w * h; ++i) out.append(char(c.red())).append(char(c.green())).append(char(c.blue()));
        if (out.size() % 2) out.append('\0');
        const quint32 bitsAt = quint32(out.size());
        for (int channel = 0; channel < 3; ++channel) appendLittleEndian16(out, 8);
        const quint32 ifdAt = quint32(out.size());
        const qsizetype at = page == 0 ? 4 : nextOffsetPositions.last();  // where the previous link points
        for (int i = 0; i < 4; ++i) out[at + i] = char((ifdAt >> (8 * i)) & 0xFF);
        appendLittleEndian16(out, kEntries);
        auto entry = [&out](quint16 tag, quint16 type, quint32 count, quint32 value) {
            appendLittleEndian16(out, tag);
            appendLittleEndian16(out, type);
            appendLittleEndian32(out, count);
            if (type == 3 && count == 1) {
                appendLittleEndian16(out, quint16(value));
                appendLittleEndian16(out, 0);
            } else {
                appendLittleEndian32(out, value);
            }
        };
        entry(256, 4, 1, quint32(w));         // ImageWidth
        entry(257, 4, 1, quint32(h));         // ImageLength
        entry(258, 3, 3, bitsAt);             // BitsPerSample 8,8,8
        entry(259, 3, 1, 1);                  // no compression
        entry(262, 3, 1, 2);                  // RGB
        entry(273, 4, 1, pixelsAt);           // StripOffsets
        entry(277, 3, 1, 3);                  // SamplesPerPixel
        entry(278, 4, 1, quint32(h));         // RowsPerStrip
        entry(279, 4, 1, pixelBytes);         // StripByteCounts
        entry(284, 3, 1, 1);                  // chunky
        nextOffsetPositions.append(out.size());
        appendLittleEndian32(out, 0);
    }
    return out;
}

QImage quadrantImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    const int hw = width / 2, hh = height / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, hw, hh, QColor(255, 0, 0));
    painter.fillRect(hw, 0, width - hw, hh, QColor(0, 255, 0));
    painter.fillRect(hw, hh, width - hw, height - hh, QColor(0, 0, 255));
    painter.fillRect(0, hh, hw, height - hh, QColor(255, 255, 0));
    return image;
}

QString writeImage(const QString& path, const QImage& image, const char* format, int dotsPerInch) {
    QImage copy = image;
    const int dpm = qRound(dotsPerInch / 0.0254);
    copy.setDotsPerMeterX(dpm);
    copy.setDotsPerMeterY(dpm);
    QImageWriter writer(path, format);
    if (!writer.write(copy)) qFatal("could not write test image %s", qPrintable(path));
    return path;
}

QImage photoImage(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const double u = double(x) / size.width(), v = double(y) / size.height();
            const int grain = int(random.bounded(24)) - 12;
            const int r = int(120 + 100 * std::sin(6 * u + 2 * v)) + grain;
            const int g = int(110 + 90 * std::cos(5 * v - 3 * u)) + grain;
            const int b = int(128 + 80 * std::sin(9 * u * v + 1)) + grain;
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

bool near(QRgb actual, QRgb expected, int tolerance) {
    return sameColour(QColor(actual), QColor(expected), tolerance);
}

namespace {
bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}
}  // namespace

ImmutableFile::ImmutableFile(const QString& path) : path_(path), active_(setImmutable(path, true)) {}

ImmutableFile::~ImmutableFile() {
    if (active_) setImmutable(path_, false);
}

}  // namespace scrivola::testing
