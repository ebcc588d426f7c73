// Entry points of the codec: checks on the file, format detection and dispatch to the decoders and
// encoders, and atomic writes.

#include "image/codec/ImageCodec.h"

#include "image/codec/CodecInternal.h"
#include "image/codec/GifEncoder.h"

#include <QFile>
#include <QFileInfo>
#include "workspace/AtomicFile.h"

namespace scrivola::ImageCodec {

using codec::fail;
using codec::Format;
using Kind = ImageCodecError::Kind;

namespace {

// Enough leading bytes to recognise every format, SVG documents with a long prologue included.
constexpr qint64 kSniffBytes = 65536;
// SVG documents are parsed whole; anything bigger than this is not a drawing we can show.
constexpr qint64 kMaxSvgBytes = qint64(64) << 20;

QFileInfo checkedFile(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) fail(Kind::notFound, QStringLiteral("No file at %1").arg(path));
    if (info.isDir()) fail(Kind::unreadable, QStringLiteral("%1 is a folder").arg(path));
    return info;
}

void openForReading(QFile& file) {
    if (!file.open(QIODevice::ReadOnly))
        fail(Kind::unreadable, QStringLiteral("Could not read %1: %2").arg(file.fileName(), file.errorString()));
}

// The format of the bytes; when they match none, the file is damaged if its name claims an image
// format we read, and of an unsupported kind otherwise.
Format detect(const QByteArray& head, const QString& claimedFormat) {
    const Format format = codec::sniff(head);
    if (format != Format::unknown) return format;
    if (head.isEmpty()) fail(Kind::corrupted, QStringLiteral("The file is empty"));
    if (codec::formatForExtension(claimedFormat) != Format::unknown)
        fail(Kind::corrupted, QStringLiteral("The file is not a valid %1 image").arg(claimedFormat.toLower()));
    fail(Kind::unsupported, QStringLiteral("Unsupported image format"));
}

}  // namespace

ImageInfo probe(const QString& path) {
    const QFileInfo info = checkedFile(path);
    QFile file(path);
    openForReading(file);
    const Format format = detect(file.peek(kSniffBytes), info.suffix());
    switch (format) {
    case Format::svg:
        if (file.size() > kMaxSvgBytes) fail(Kind::tooLarge, QStringLiteral("The SVG document is too large"));
        return codec::probeSvg(file.readAll());
    case Format::heic:
    case Format::avif: return codec::probeHeif(path, format);
    default: return codec::probeWithQt(file, format);
    }
}

QImage decode(const QString& path) {
    const QFileInfo info = checkedFile(path);
    QFile file(path);
    openForReading(file);
    const QByteArray head = file.peek(kSniffBytes);
    if (detect(head, info.suffix()) == Format::svg && file.size() > kMaxSvgBytes)
        fail(Kind::tooLarge, QStringLiteral("The SVG document is too large"));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail(Kind::unreadable, QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
    return decode(data, info.suffix());
}

QImage decode(const QByteArray& data, const QString& formatHint) {
    const Format format = detect(data.left(kSniffBytes), formatHint);
    switch (format) {
    case Format::svg: return codec::decodeSvg(data);
    case Format::heic:
    case Format::avif: return codec::decodeHeif(data);
    default: return codec::decodeWithQt(data, format);
    }
}

QByteArray encode(const QImage& image, ImageEncoding encoding, const EncodeOptions& options) {
    if (image.isNull()) fail(Kind::encodeFailed, QStringLiteral("No image to encode"));
    switch (encoding) {
    case ImageEncoding::heic: return codec::encodeHeif(image, options);
    case ImageEncoding::gif: {
        // GIF carries no colour profile: store sRGB values so that the colours look the same.
        QByteArray bytes = codec::encodeGif({toDisplayColorSpace(image)});
        if (bytes.isEmpty()) fail(Kind::encodeFailed, QStringLiteral("Could not encode GIF"));
        return bytes;
    }
    case ImageEncoding::bmp: return codec::encodeWithQt(toDisplayColorSpace(image), encoding, options);
    case ImageEncoding::jpeg:
    case ImageEncoding::png:
    case ImageEncoding::tiff: break;
    }
    return codec::encodeWithQt(image, encoding, options);
}

std::optional<ImageEncoding> encodingForExtension(const QString& extension) {
    QString e = extension.toLower();
    if (e.startsWith(u'.')) e.remove(0, 1);
    if (e == u"jpg" || e == u"jpeg") return ImageEncoding::jpeg;
    if (e == u"png") return ImageEncoding::png;
    if (e == u"tif" || e == u"tiff") return ImageEncoding::tiff;
    if (e == u"bmp") return ImageEncoding::bmp;
    if (e == u"gif") return ImageEncoding::gif;
    if (e == u"heic" || e == u"heif") return ImageEncoding::heic;
    return std::nullopt;
}

QString extension(ImageEncoding encoding) {
    switch (encoding) {
    case ImageEncoding::jpeg: return QStringLiteral("jpeg");
    case ImageEncoding::png: return QStringLiteral("png");
    case ImageEncoding::tiff: return QStringLiteral("tiff");
    case ImageEncoding::bmp: return QStringLiteral("bmp");
    case ImageEncoding::gif: return QStringLiteral("gif");
    case ImageEncoding::heic: return QStringLiteral("heic");
    }
    return {};
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QString reason;
    if (!scrivola::writeFileAtomically(path, bytes, &reason))
        fail(Kind::writeFailed, QStringLiteral("Could not write %1: %2").arg(path, reason));
}

}  // namespace scrivola::ImageCodec
