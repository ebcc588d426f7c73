// Recognising image formats by their leading bytes, and the pixel budget shared by all decoders.

#include "image/codec/CodecInternal.h"

#include <cstring>

namespace scrivola::codec {

namespace {

bool startsWith(const QByteArray& data, const char* magic, qsizetype length, qsizetype offset = 0) {
    return data.size() >= offset + length && std::memcmp(data.constData() + offset, magic, size_t(length)) == 0;
}

// ISO base media files ("ftyp" box): HEIF with HEVC, or AVIF.
Format sniffFtyp(const QByteArray& data) {
    if (!startsWith(data, "ftyp", 4, 4) || data.size() < 16) return Format::unknown;
    const auto boxSize = qint64((uchar(data[0]) << 24) | (uchar(data[1]) << 16) | (uchar(data[2]) << 8) | uchar(data[3]));
    const qsizetype end = qsizetype(qBound<qint64>(16, boxSize, data.size()));
    bool heif = false;
    // Major brand at 8, minor version at 12, compatible brands from 16.
    for (qsizetype at = 8; at + 4 <= end; at += (at == 8 ? 8 : 4)) {
        const QByteArray brand = data.mid(at, 4);
        if (brand == "avif" || brand == "avis") return Format::avif;
        if (brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis" || brand == "hevc" ||
            brand == "hevx" || brand == "hevm" || brand == "hevs" || brand == "mif1" || brand == "msf1")
            heif = true;
    }
    return heif ? Format::heic : Format::unknown;
}

bool looksLikeSvg(const QByteArray& data) {
    QByteArray head = data.left(65536);
    if (head.startsWith("\xEF\xBB\xBF")) head.remove(0, 3);
    head = head.trimmed();
    if (!head.startsWith('<')) return false;
    return head.contains("<svg");
}

}  // namespace

Format sniff(const QByteArray& data) {
    if (startsWith(data, "\x89PNG\r\n\x1A\n", 8)) return Format::png;
    if (startsWith(data, "\xFF\xD8\xFF", 3)) return Format::jpeg;
    if (startsWith(data, "GIF87a", 6) || startsWith(data, "GIF89a", 6)) return Format::gif;
    if (startsWith(data, "BM", 2) && data.size() >= 26) return Format::bmp;
    if (startsWith(data, "II*\0", 4) || startsWith(data, "MM\0*", 4)) return Format::tiff;
    if (startsWith(data, "RIFF", 4) && startsWith(data, "WEBP", 4, 8)) return Format::webp;
    if (const Format f = sniffFtyp(data); f != Format::unknown) return f;
    if (looksLikeSvg(data)) return Format::svg;
    return Format::unknown;
}

Format formatForExtension(const QString& extension) {
    const QString e = extension.toLower();
    if (e == u"png") return Format::png;
    if (e == u"jpg" || e == u"jpeg" || e == u"jpe") return Format::jpeg;
    if (e == u"gif") return Format::gif;
    if (e == u"bmp" || e == u"dib") return Format::bmp;
    if (e == u"tif" || e == u"tiff") return Format::tiff;
    if (e == u"webp") return Format::webp;
    if (e == u"svg") return Format::svg;
    if (e == u"heic" || e == u"heif" || e == u"hif") return Format::heic;
    if (e == u"avif") return Format::avif;
    return Format::unknown;
}

QString formatName(Format format) {
    switch (format) {
    case Format::png: return QStringLiteral("png");
    case Format::jpeg: return QStringLiteral("jpeg");
    case Format::gif: return QStringLiteral("gif");
    case Format::bmp: return QStringLiteral("bmp");
    case Format::tiff: return QStringLiteral("tiff");
    case Format::webp: return QStringLiteral("webp");
    case Format::svg: return QStringLiteral("svg");
    case Format::heic: return QStringLiteral("heic");
    case Format::avif: return QStringLiteral("avif");
    case Format::unknown: break;
    }
    return {};
}

QByteArray qtPluginKey(Format format) {
    return formatName(format).toLatin1();
}

void fail(ImageCodecError::Kind kind, const QString& message) {
    throw ImageCodecError(kind, message.toStdString());
}

bool exceedsPixelBudget(QSize size) {
    return qint64(size.width()) * qint64(size.height()) * 4 > kMaxImageBytes;
}

void checkPixelBudget(QSize size) {
    if (size.width() <= 0 || size.height() <= 0)
        fail(ImageCodecError::Kind::corrupted, QStringLiteral("The image declares no valid size"));
    if (exceedsPixelBudget(size))
        fail(ImageCodecError::Kind::tooLarge, QStringLiteral("The image is too large to open (%1 × %2 pixels)")
                                                  .arg(size.width())
                                                  .arg(size.height()));
}

}  // namespace scrivola::codec
