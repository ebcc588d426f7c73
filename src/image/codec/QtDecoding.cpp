// Decoding through Qt's image plugins: PNG, JPEG, TIFF, GIF, BMP and WebP.

#include "image/codec/CodecInternal.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixelFormat>

#include <cstring>
#include <mutex>

namespace scrivola::codec {

// Qt refuses any single allocation above this limit; our own budget check comes first, this is the
// second guard for plugins that cannot tell the size before decoding.
void ensureAllocationLimit() {
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(int(kMaxImageBytes / (1024 * 1024))); });
}

namespace {

[[noreturn]] void failRead(const QImageReader& reader, Format format) {
    const QString what = QStringLiteral("Could not decode the %1 image: %2").arg(formatName(format), reader.errorString());
    switch (reader.error()) {
    case QImageReader::DeviceError: fail(ImageCodecError::Kind::unreadable, what);
    case QImageReader::UnsupportedFormatError:
    case QImageReader::InvalidDataError:
    case QImageReader::FileNotFoundError:
    case QImageReader::UnknownError: break;
    }
    fail(ImageCodecError::Kind::corrupted, what);
}

bool formatHasAlpha(QImage::Format format) {
    if (format == QImage::Format_Invalid) return false;
    return QImage::toPixelFormat(format).alphaUsage() == QPixelFormat::UsesAlpha;
}

}  // namespace

ImageInfo probeWithQt(QIODevice& device, Format format) {
    ensureAllocationLimit();
    QImageReader reader(&device, qtPluginKey(format));
    reader.setAutoTransform(true);
    if (!reader.canRead()) failRead(reader, format);
    QSize size = reader.size();
    checkPixelBudget(size);
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();

    ImageInfo info;
    info.format = formatName(format);
    info.pixelSize = size;
    info.hasAlpha = formatHasAlpha(reader.imageFormat());
    // Some plugins (TIFF) count frames from the device's current position: count with a fresh reader
    // from the start.
    if (device.seek(0)) {
        QImageReader counter(&device, qtPluginKey(format));
        info.frameCount = qMax(1, counter.imageCount());
    }
    return info;
}

QImage decodeWithQt(const QByteArray& data, Format format) {
    ensureAllocationLimit();
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, qtPluginKey(format));
    reader.setAutoTransform(true);
    if (!reader.canRead()) failRead(reader, format);
    // Refuse before any pixel memory is taken. Plugins that cannot tell the size answer an invalid
    // one; the allocation limit covers those.
    if (const QSize size = reader.size(); size.isValid()) checkPixelBudget(size);
    // libjpeg fills a cut-off file with grey and calls it a success: catch that here.
    if (format == Format::jpeg && !jpegIsComplete(data))
        fail(ImageCodecError::Kind::corrupted, QStringLiteral("The JPEG file is incomplete"));

    QImage image;
    if (!reader.read(&image) || image.isNull()) failRead(reader, format);
    return image;
}

bool jpegIsComplete(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    if (n < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
    qsizetype pos = 2;
    while (pos < n) {
        // Markers start with 0xFF, possibly preceded by fill bytes; tolerate stray bytes between segments.
        if (bytes[pos] != 0xFF) {
            const void* next = std::memchr(bytes + pos, 0xFF, size_t(n - pos));
            if (!next) return false;
            pos = static_cast<const uchar*>(next) - bytes;
        }
        while (pos < n && bytes[pos] == 0xFF) ++pos;
        if (pos >= n) return false;
        const uchar marker = bytes[pos++];
        if (marker == 0xD9) return true;  // end of image
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (pos + 2 > n) return false;
        const int length = (bytes[pos] << 8) | bytes[pos + 1];
        if (length < 2) return false;
        pos += length;
        if (marker != 0xDA) continue;
        // Entropy-coded data after a start of scan: 0xFF is followed by a stuffed zero or a restart
        // marker inside it; anything else is the next marker.
        while (pos < n) {
            const void* next = std::memchr(bytes + pos, 0xFF, size_t(n - pos));
            if (!next) return false;
            pos = static_cast<const uchar*>(next) - bytes;
            if (pos + 1 >= n) return false;
            const uchar follower = bytes[pos + 1];
            if (follower == 0x00 || (follower >= 0xD0 && follower <= 0xD7)) {
                pos += 2;
            } else if (follower == 0xFF) {
                pos += 1;
            } else {
                break;
            }
        }
    }
    return false;
}

}  // namespace scrivola::codec
