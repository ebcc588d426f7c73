// Inspection and rendering: info, render.
#include "cli/Cli.h"
#include "cli/CliDocuments.h"

#include "image/ImageDocumentModel.h"
#include "image/codec/ImageCodec.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/engine/PDFEngine.h"

namespace scrivola::cli {

namespace {

QString pointText(double v) { return QString::number(v, 'f', v == std::floor(v) ? 0 : 2); }

// A PNG of a page is written a band of rows at a time as it is drawn: the page is never whole
// in memory.
void writePngInBands(const PDFDisplayList& list, double dpi, const QString& output, const QString& failure) {
    constexpr int kBandRows = 256;
    const double scale = dpi / 72.0;
    const QSize size = list.pictureSize(scale);
    if (size.isEmpty()) throw DocumentError::exportFailed(failure);
    try {
        PngBandWriter writer(output, size, qRound(dpi / 0.0254));
        const bool drawn = list.renderBands(scale, kBandRows, [&](const QImage& band, int) {
            writer.writeRows(band);
            return true;
        });
        if (!drawn) throw DocumentError::exportFailed(failure);
        writer.finish();
    } catch (const ImageCodecError& error) {
        throw DocumentError::exportFailed(QString::fromStdString(error.what()));
    }
}

int runInfo(const QStringList& argv) {
    Arguments args(argv, {});
    const QString file = args.positional(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    if (kindOf(file) == DocumentType::pdf) {
        const PDFDocumentModel model(file, PDFReading::fromDisk);
        const auto& document = model.pdfDocument();
        const int count = document->pageCount();
        printLine(QStringLiteral("pages: %1").arg(count));
        for (int i = 0; i < count; ++i) {
            const auto page = document->page(i);
            if (!page) continue;
            const QRectF box = page->bounds(PDFBox::mediaBox);
            printLine(QStringLiteral("page %1: %2 x %3 pt, rotation %4")
                          .arg(i + 1)
                          .arg(pointText(box.width()), pointText(box.height()))
                          .arg(page->rotation()));
        }
        return kSuccess;
    }
    // The header tells all that is printed: the pixels are not decoded.
    ImageInfo info;
    try {
        info = ImageCodec::probe(file);
    } catch (const ImageCodecError&) {
        throw DocumentError::cannotOpenImage(file);
    }
    if (info.pixelSize.isEmpty()) throw DocumentError::cannotOpenImage(file);
    printLine(QStringLiteral("pages: 1"));
    printLine(QStringLiteral("format: %1").arg(info.format));
    printLine(QStringLiteral("size: %1 x %2 px").arg(info.pixelSize.width()).arg(info.pixelSize.height()));
    if (info.frameCount > 1) printLine(QStringLiteral("frames: %1").arg(info.frameCount));
    return kSuccess;
}

int runRender(const QStringList& argv) {
    Arguments args(argv, {QStringLiteral("--page"), QStringLiteral("--dpi"), QStringLiteral("-o")});
    const QString file = args.positional(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const QString output = args.required(QStringLiteral("-o"));
    checkOutputPath(file, output);
    const double dpi = args.number(QStringLiteral("--dpi"), 72, 1, 2400);
    QImage image;
    if (kindOf(file) == DocumentType::pdf) {
        const PDFDocumentModel model(file, PDFReading::fromDisk);
        const auto& document = model.pdfDocument();
        const int pageNumber = args.integer(QStringLiteral("--page"), 1, 1, std::max(1, document->pageCount()));
        const auto page = document->page(pageNumber - 1);
        const auto list = page ? page->displayList() : nullptr;
        const QString failure = QStringLiteral("Could not render page %1").arg(pageNumber);
        if (!list) throw DocumentError::exportFailed(failure);
        if (outputEncoding(output) == ImageEncoding::png) {
            writePngInBands(*list, dpi, output, failure);
            return kSuccess;
        }
        image = list->render(dpi / 72.0);
        if (image.isNull()) throw DocumentError::exportFailed(failure);
    } else {
        args.integer(QStringLiteral("--page"), 1, 1, 1);
        ImageDocumentModel model(file);
        image = model.image(0);
        if (image.isNull()) throw DocumentError::cannotOpenImage(file);
        if (args.has(QStringLiteral("--dpi"))) {
            const QSizeF points = ImageDrawing::pointSize(image);
            const QSize target(std::max(1, qRound(points.width() * dpi / 72.0)), std::max(1, qRound(points.height() * dpi / 72.0)));
            if (target != image.size()) image = ImageDrawing::scaled(image, target);
        }
        image = ImageCodec::toDisplayColorSpace(image);
    }
    writeImage(image, output);
    return kSuccess;
}

}  // namespace

void addDocumentCommands(std::vector<Command>& list) {
    list.push_back({QStringLiteral("info"), QStringLiteral("Print the page count and the size of each page (or of the image)."),
                    QStringLiteral("info FILE"), runInfo});
    list.push_back({QStringLiteral("render"), QStringLiteral("Render one page (one-based) or the image into a PNG file."),
                    QStringLiteral("render FILE [--page N] [--dpi D] -o OUT.png"), runRender});
}

}  // namespace scrivola::cli
