// Compression and re-encoding: compress, convert.
#include "cli/Cli.h"
#include "cli/CliDocuments.h"

#include "compression/CompressionService.h"
#include "image/codec/ImageCodec.h"
#include "pdf/PDFDocumentModel.h"

#include <QFile>
#include <QFileInfo>


namespace scrivola::cli {

namespace {

const QString kFormatOption = QStringLiteral("--format");
const QString kQualityOption = QStringLiteral("--quality");
constexpr double kDefaultQuality = 0.85;

ImageOutputFormat parseFormat(const QString& text) {
    const auto format = ImageOutputFormats::fromRawValue(text.toUpper());
    if (!format) throw UsageError(QStringLiteral("--format must be jpeg, png, tiff or heic, not \"%1\"").arg(text).toStdString());
    return *format;
}

// The format named by --format, else by the output's extension.
ImageOutputFormat outputFormat(const Arguments& args, const QString& output) {
    if (const auto named = args.value(kFormatOption)) return parseFormat(*named);
    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix == u"jpg" || suffix == u"jpeg") return ImageOutputFormat::jpeg;
    if (suffix == u"png") return ImageOutputFormat::png;
    if (suffix == u"tif" || suffix == u"tiff") return ImageOutputFormat::tiff;
    if (suffix == u"heic" || suffix == u"heif") return ImageOutputFormat::heic;
    throw UsageError("--format is required when the output's extension names no image format");
}

CompressionProgress progressFor(Progress& progress) {
    CompressionProgress hook;
    hook.report = [&progress](int done, int total) { progress.update(done, total); };
    return hook;
}

QImage loadImage(const QString& file) {
    try {
        QImage image = ImageCodec::decode(file);
        if (!image.isNull()) return image;
    } catch (const ImageCodecError&) {
    }
    throw DocumentError::cannotOpenImage(file);
}

// A JPEG that stays a JPEG of the same size is re-encoded a band of rows at a time, without
// holding the decoded picture; `bytes` receives the result. False when that way does not apply.
bool reencodeJpegFile(const QString& file, const ImageCompressionSettings& settings, QByteArray& bytes) {
    if (settings.format != ImageOutputFormat::jpeg || settings.scale < 1.0) return false;
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) return false;
    try {
        auto transcoded = ImageCodec::transcodeJpeg(input.readAll(), settings.quality);
        if (!transcoded) return false;
        bytes = std::move(*transcoded);
        return true;
    } catch (const ImageCodecError&) {
        throw DocumentError::cannotOpenImage(file);
    }
}

QByteArray compressImageFile(const QString& file, const ImageCompressionSettings& settings) {
    if (QByteArray bytes; reencodeJpegFile(file, settings, bytes)) return bytes;
    const QImage image = loadImage(file);
    Progress progress(QStringLiteral("Encoding"));
    const auto bytes = CompressionService::compressImage(image, settings, progressFor(progress));
    if (!bytes) throw DocumentError::exportFailed(QStringLiteral("Could not encode image"));
    return *bytes;
}

// A compressed copy is written only when it is smaller than its source, or when --force says so.
int writeCompressed(const QByteArray& bytes, const QString& input, const QString& output, bool force) {
    const qint64 sourceSize = QFileInfo(input).size();
    if (bytes.size() < sourceSize) {
        writeBytes(bytes, output);
        return kSuccess;
    }
    const QString sizes = QStringLiteral("%1 bytes, the input %2 bytes").arg(bytes.size()).arg(sourceSize);
    if (!force) {
        printError(QStringLiteral("not smaller: the compressed file would be %1; nothing written (--force writes it)").arg(sizes));
        return kDocumentError;
    }
    writeBytes(bytes, output);
    printError(QStringLiteral("not smaller: the compressed file is %1; written because of --force").arg(sizes));
    return kSuccess;
}

int runCompress(const QStringList& argv) {
    Arguments args(argv,
                   {kQualityOption, QStringLiteral("--dpi"), QStringLiteral("--scale"), kFormatOption, QStringLiteral("-o")},
                   {QStringLiteral("--rasterize"), QStringLiteral("--force")});
    const QString file = args.positional(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const QString output = args.required(QStringLiteral("-o"));
    const double quality = args.number(kQualityOption, kDefaultQuality, 0.0, 1.0);
    const DocumentType kind = kindOf(file);
    const bool force = args.has(QStringLiteral("--force"));
    checkOutputPath(file, output);

    if (kind == DocumentType::image) {
        if (args.has(QStringLiteral("--rasterize")) || args.has(QStringLiteral("--dpi")))
            throw UsageError("--rasterize and --dpi apply to PDFs only");
        ImageCompressionSettings settings;
        settings.quality = quality;
        settings.scale = args.number(QStringLiteral("--scale"), 1.0, 0.01, 1.0);
        settings.format = outputFormat(args, output);
        return writeCompressed(compressImageFile(file, settings), file, output, force);
    }

    if (args.has(QStringLiteral("--scale")) || args.has(kFormatOption))
        throw UsageError("--scale and --format apply to images only");
    PDFCompressionSettings settings;
    settings.quality = quality;
    settings.dpi = args.number(QStringLiteral("--dpi"), 150.0, 1.0, 2400.0);
    settings.useRasterization = args.has(QStringLiteral("--rasterize"));
    // Opening through the model reports damaged and locked files with the usual messages. The
    // compression then reads the file itself: rasterising takes it from disk page by page.
    (void)PDFDocumentModel(file, PDFReading::fromDisk);
    Progress progress(settings.useRasterization ? QStringLiteral("Rasterising pages") : QStringLiteral("Compressing"));
    const auto result = CompressionService::compressPDFFile(file, settings, progressFor(progress));
    if (!result) throw DocumentError::exportFailed(QStringLiteral("Could not compress ") + QFileInfo(file).fileName());
    // Without a gain the result is the input itself.
    return writeCompressed(result->data, file, output, force);
}

int runConvert(const QStringList& argv) {
    Arguments args(argv, {kFormatOption, kQualityOption, QStringLiteral("-o")});
    const QString file = args.positional(0, QStringLiteral("IMAGE"));
    args.expectPositional(1);
    const QString output = args.required(QStringLiteral("-o"));
    ImageCompressionSettings settings;
    settings.format = parseFormat(args.required(kFormatOption));
    settings.quality = args.number(kQualityOption, kDefaultQuality, 0.0, 1.0);
    if (kindOf(file) != DocumentType::image) throw UsageError("convert takes an image; use compress for PDFs");
    checkOutputPath(file, output);
    writeBytes(compressImageFile(file, settings), output);
    return kSuccess;
}

}  // namespace

void addCompressCommands(std::vector<Command>& list) {
    list.push_back({QStringLiteral("compress"),
                    QStringLiteral("Write a smaller copy of a PDF (redrawn, or rasterised at --dpi) or of an image (scaled and re-encoded).\n"
                                   "A result that is not smaller than FILE is not written (exit code 1) unless --force is given."),
                    QStringLiteral("compress FILE [--rasterize] [--quality Q] [--dpi D] [--scale S] [--format jpeg|png|tiff|heic] [--force] -o OUT"),
                    runCompress});
    list.push_back({QStringLiteral("convert"), QStringLiteral("Re-encode an image as JPEG, PNG, TIFF or HEIC."),
                    QStringLiteral("convert IMAGE --format jpeg|png|tiff|heic [--quality Q] -o OUT"), runConvert});
}

}  // namespace scrivola::cli
