#pragma once

// Test fixtures: small PDFs written as plain PDF source (no engine involved), so tests of the
// engine never depend on the code under test to make their inputs.

#include <QByteArray>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QTemporaryDir;

namespace scrivola::testing {

// One line of Helvetica text; `baseline` is in the page's user space (PDF coordinates).
struct PdfTextLine {
    QString text;  // Latin-1 characters (WinAnsi), e.g. "café"
    QPointF baseline;
    double fontSize = 12;
};

struct PdfPageSpec {
    QRectF mediaBox{0, 0, 612, 792};  // user space, may have a non-zero origin
    std::optional<QRectF> cropBox;
    int rotate = 0;
    std::vector<PdfTextLine> lines;
    QByteArray extraContent;  // raw content-stream operators appended after the text
};

// A complete PDF with a correct cross-reference table.
QByteArray buildPdf(const std::vector<PdfPageSpec>& pages);

// A file of objects 1..n (bodies as given, without "n 0 obj"/"endobj") with a correct
// cross-reference table; object 1 must be the catalog.
QByteArray assemblePdf(const std::vector<QByteArray>& objects);

// Lines of a text page: the default page i carries "Page i+1" followed by a few lines of words.
QStringList defaultPageLines(int pageIndex);

// `pages` Letter (or `size`) pages; each line of pageText(i) is set 16 points below the previous,
// starting 72 points from the top-left corner, in 12-point Helvetica.
QByteArray textPdf(int pages, const std::function<QStringList(int)>& pageText = {},
                   const QSizeF& size = QSizeF(612, 792));

// One page whose media box is [100 200 712 992] (origin (100, 200)) with /Rotate 90, carrying
// `lines` (default "Rotated offset page") from user point (172, 920) downwards.
QByteArray rotatedOffsetPage(const QStringList& lines = {});
constexpr double kOffsetX = 100;
constexpr double kOffsetY = 200;

// One Letter page with a crop box of [50 60 550 700].
QByteArray croppedPage();

// A one-page file ("Original") followed by an incremental update that appends a second page
// ("Updated page").
QByteArray incrementalUpdatePdf();

// `pages` text pages whose xref offsets are all wrong (the engine must repair it).
QByteArray brokenXrefPdf(int pages);

// One 300 × 300 page with a free-text box, a highlight, a filled text field and a link.
QByteArray annotatedPage();
// The first n bytes.
QByteArray truncated(const QByteArray& bytes, qsizetype n);

// Writes `bytes` to `name` inside `dir`; returns the path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

}  // namespace scrivola::testing
