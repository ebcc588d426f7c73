// Page work on PDFs: search, rotate, delete, move, export.
#include "cli/Cli.h"
#include "cli/CliDocuments.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/PDFEditingService.h"
#include "pdf/PDFExportPresenter.h"
#include "pdf/PDFSearch.h"

#include <QFileInfo>

namespace scrivola::cli {

namespace {

const QString kPages = QStringLiteral("--pages");
const QString kOutput = QStringLiteral("-o");

// The input, checked to be a PDF.
QString pdfInput(const Arguments& args) {
    const QString file = args.positional(0, QStringLiteral("FILE"));
    if (kindOf(file) != DocumentType::pdf) throw UsageError("FILE must be a PDF");
    return file;
}

// The output, checked not to replace the input.
QString outputFor(const Arguments& args, const QString& input) {
    const QString output = args.required(kOutput);
    checkOutputPath(input, output);
    return output;
}

int runSearch(const QStringList& argv) {
    Arguments args(argv, {});
    const QString file = pdfInput(args);
    const QString query = args.positional(1, QStringLiteral("QUERY"));
    args.expectPositional(2);
    if (query.trimmed().isEmpty()) throw UsageError("QUERY must not be empty");

    const PDFDocumentModel model(file);
    const PDFDocument& document = *model.pdfDocument();
    std::vector<PDFSelection> hits;
    {
        Progress progress(QStringLiteral("Searching page"));
        hits = PDFSearchRunner::searchAll(document, query, [&](int done, int total) { progress.update(done, total); });
    }
    const auto results = makeSearchResults(document, hits, query);
    for (const SearchResult& result : results) {
        // One line per hit: the parts of a hit on several lines are joined by a space.
        QString text = result.text;
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        printLine(QStringLiteral("page %1: %2").arg(result.pageIndex + 1).arg(text));
    }
    printLine(QStringLiteral("hits: %1").arg(results.size()));
    return kSuccess;
}

int runRotate(const QStringList& argv) {
    Arguments args(argv, {kPages, QStringLiteral("--by"), kOutput});
    const QString file = pdfInput(args);
    args.expectPositional(1);
    const QString output = outputFor(args, file);
    const QString byText = args.required(QStringLiteral("--by"));
    bool ok = false;
    const int degrees = byText.toInt(&ok);
    if (!ok || degrees == 0 || degrees % 90 != 0 || degrees < -270 || degrees > 270)
        throw UsageError("--by must be 90, -90 or 180");

    PDFDocumentModel model(file);
    const std::set<int> pages = parsePageList(args.required(kPages), model.pdfDocument()->pageCount());
    PDFDocumentContext context(&model);
    context.setSelectedPages(pages);
    context.rotatePages(degrees);
    model.save(output);
    return kSuccess;
}

int runDelete(const QStringList& argv) {
    Arguments args(argv, {kPages, kOutput});
    const QString file = pdfInput(args);
    args.expectPositional(1);
    const QString output = outputFor(args, file);

    PDFDocumentModel model(file);
    const int count = model.pdfDocument()->pageCount();
    const std::set<int> pages = parsePageList(args.required(kPages), count);
    if (int(pages.size()) >= count) throw UsageError("a document must keep at least one page");
    PDFDocumentContext context(&model);
    context.deletePages(pages);
    model.save(output);
    return kSuccess;
}

int runMove(const QStringList& argv) {
    Arguments args(argv, {QStringLiteral("--page"), QStringLiteral("--to"), kOutput});
    const QString file = pdfInput(args);
    args.expectPositional(1);
    const QString output = outputFor(args, file);

    PDFDocumentModel model(file);
    const int count = model.pdfDocument()->pageCount();
    if (!args.has(QStringLiteral("--page"))) throw UsageError("--page is required");
    if (!args.has(QStringLiteral("--to"))) throw UsageError("--to is required");
    const int from = args.integer(QStringLiteral("--page"), 1, 1, count) - 1;
    const int finalIndex = args.integer(QStringLiteral("--to"), 1, 1, count) - 1;
    // The page is to end up at `finalIndex`; the service counts "before which page" in the
    // document as it was.
    PDFDocumentContext context(&model);
    context.editingService()->movePage(from, from < finalIndex ? finalIndex + 1 : finalIndex);
    model.save(output);
    return kSuccess;
}

// Answers the save panel with the output given on the command line.
class FixedExportFile : public PDFExportPresenter {
public:
    explicit FixedExportFile(QString path) : path_(std::move(path)) {}
    QString chooseExportFile(const QString&, const QString&) override { return path_; }

private:
    QString path_;
};

int runExport(const QStringList& argv) {
    Arguments args(argv, {kPages, kOutput});
    const QString file = pdfInput(args);
    args.expectPositional(1);
    const QString output = outputFor(args, file);

    PDFDocumentModel model(file);
    const std::set<int> pages = parsePageList(args.required(kPages), model.pdfDocument()->pageCount());
    PDFDocumentContext context(&model);
    FixedExportFile presenter(output);
    context.setExportPresenter(&presenter);
    if (context.exportPages(pages).isEmpty())
        throw DocumentError::exportFailed(QStringLiteral("Could not write to ") + QFileInfo(output).fileName());
    return kSuccess;
}

}  // namespace

void addPageCommands(std::vector<Command>& list) {
    list.push_back({QStringLiteral("search"),
                    QStringLiteral("Find every occurrence of QUERY (ignoring case); prints \"page N: TEXT\" per hit and \"hits: K\"."),
                    QStringLiteral("search FILE QUERY"), runSearch, false});
    list.push_back({QStringLiteral("rotate"), QStringLiteral("Rotate pages (one-based list like 1,3-5) clockwise by 90, -90 or 180 degrees."),
                    QStringLiteral("rotate FILE --pages LIST --by 90|-90|180 -o OUT.pdf"), runRotate, false});
    list.push_back({QStringLiteral("delete"), QStringLiteral("Delete pages (one-based list like 1,3-5); at least one page must remain."),
                    QStringLiteral("delete FILE --pages LIST -o OUT.pdf"), runDelete, false});
    list.push_back({QStringLiteral("move"), QStringLiteral("Move page N so that it becomes page M (both one-based)."),
                    QStringLiteral("move FILE --page N --to M -o OUT.pdf"), runMove, false});
    list.push_back({QStringLiteral("export"), QStringLiteral("Write copies of pages (one-based list like 1,3-5) into a new PDF."),
                    QStringLiteral("export FILE --pages LIST -o OUT.pdf"), runExport, false});
}

}  // namespace scrivola::cli
