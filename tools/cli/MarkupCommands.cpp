// Page-content edits: whiteout.
#include "cli/Cli.h"
#include "cli/CliDocuments.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"

#include <QFileInfo>
#include <QRectF>

#include <cmath>

namespace scrivola::cli {

namespace {

// "X,Y,W,H" in page points; width and height positive.
QRectF parseRect(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    double v[4] = {0, 0, 0, 0};
    bool valid = parts.size() == 4;
    for (int i = 0; valid && i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toDouble(&ok);
        valid = ok && std::isfinite(v[i]);
    }
    if (!valid || !(v[2] > 0) || !(v[3] > 0))
        throw UsageError(QStringLiteral("--rect must be X,Y,W,H in points with a positive width and height, not \"%1\"")
                             .arg(text)
                             .toStdString());
    return QRectF(v[0], v[1], v[2], v[3]);
}

int runWhiteout(const QStringList& argv) {
    Arguments args(argv, {QStringLiteral("--page"), QStringLiteral("--rect"), QStringLiteral("-o")});
    const QString file = args.positional(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const QString output = args.required(QStringLiteral("-o"));
    args.required(QStringLiteral("--page"));
    const QRectF rect = parseRect(args.required(QStringLiteral("--rect")));
    checkOutputPath(file, output);
    if (kindOf(file) != DocumentType::pdf) throw DocumentError::unsupportedFormat(QFileInfo(file).suffix());

    PDFDocumentModel model(file);
    const int count = model.pdfDocument()->pageCount();
    const int pageNumber = args.integer(QStringLiteral("--page"), 1, 1, std::max(1, count));
    PDFDocumentContext context(&model);
    if (!context.applyWhiteout(rect, pageNumber - 1)) {
        const QRectF media = model.pdfDocument()->page(pageNumber - 1)
                                 ? model.pdfDocument()->page(pageNumber - 1)->bounds(PDFBox::mediaBox)
                                 : QRectF();
        const QRectF covered = rect & media;
        if (covered.isEmpty() || covered.width() <= 2 || covered.height() <= 2)
            throw UsageError(QStringLiteral("--rect covers less than 2 x 2 points of page %1 (%2 x %3 points)")
                                 .arg(pageNumber)
                                 .arg(media.width())
                                 .arg(media.height())
                                 .toStdString());
        throw DocumentError::saveFailed(QStringLiteral("Could not white out page %1").arg(pageNumber));
    }
    model.save(output);
    return kSuccess;
}

}  // namespace

void addMarkupCommands(std::vector<Command>& list) {
    list.push_back({QStringLiteral("whiteout"),
                    QStringLiteral("Remove what a rectangle of a page covers (text, image pixels) and paint it white. "
                                   "The rectangle is in page points, origin at the bottom-left of the page."),
                    QStringLiteral("whiteout FILE --page N --rect X,Y,W,H -o OUT.pdf"), runWhiteout});
}

}  // namespace scrivola::cli
