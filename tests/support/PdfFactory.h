#pragma once

// Test fixtures: small PDFs written as plain PDF source (no engine involved), so tests of the
// engine never depend on the code under test to make their inputs; and ways to look into files.

#include "support/Files.h"
#include "pdf/engine/PDFEngine.h"

#include <QByteArray>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QColor>

#include <functional>
#include <map>
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
    QByteArray annots;   // direct annotation dictionaries, written into /Annots as they are
    // Raw content-stream operators after the lines. Fonts: /F1 (Helvetica); pictures: /Im1
    // (16 x 8 RGB, left half red, right half blue).
    QByteArray content;
};

// A complete PDF with a correct cross-reference table. With `outlineToFirstPage`, the document
// has a bookmark "First" leading to page 1.
QByteArray buildPdf(const std::vector<PdfPageSpec>& pages, bool outlineToFirstPage = false);

// Content: one line of 12-point Helvetica with its baseline at (x, y) user space.
QByteArray textLine(const QString& text, double x, double y);
// Content: the picture /Im1 drawn into (x, y, w, h) user space.
QByteArray picture(double x, double y, double w, double h);
// Content: a filled black rectangle (line art) in user space.
QByteArray blackBar(double x, double y, double w, double h);

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
// `base` followed by an incremental update that (re)defines the given objects (number, body).
QByteArray withUpdate(const QByteArray& base, const std::map<int, QByteArray>& objects);

// `pages` text pages whose xref offsets are all wrong (the engine must repair it).
QByteArray brokenXrefPdf(int pages);

// One 300 × 300 page with a free-text box, a highlight, a filled text field and a link.
QByteArray annotatedPage();
// The first n bytes.
QByteArray truncated(const QByteArray& bytes, qsizetype n);

// A document of `pages` blank pages of `size` points.
PDFDocumentPtr blankDocument(int pages, const QSizeF& size = {200, 300});
// A document whose page i is filled entirely with colours[i]; page sizes from `sizes` when given
// (one per page), 300 x 400 points otherwise.
PDFDocumentPtr colourDocument(const std::vector<QColor>& colours, const std::vector<QSizeF>& sizes = {});
// A PDF of `pages` pages of `pageSize` points, each filled by `image` stored losslessly (Flate).
QByteArray pdfWithImage(const QImage& image, QSizeF pageSize, int pages = 1);
// Six clearly distinct colours.
std::vector<QColor> distinctColours();
// Saves `document` to `path` and loads it again; null when saving fails.
PDFDocumentPtr saveAndReopen(const PDFDocument& document, const QString& path);
// The first text line of a page, trimmed; empty when it has none.
QString firstLine(const PDFPage& page);
// The document written with uncompressed streams, so that its text can be looked for in the bytes.
QByteArray plainBytes(const PDFDocument& document);

// Every stream of a PDF file, inflated when it is deflated (raw otherwise), with its dictionary.
struct RawStream {
    QByteArray dictionary;
    QByteArray data;
};
std::vector<RawStream> streams(const QByteArray& file);
// True when any stream (inflated) or the file itself contains `word`.
bool fileContains(const QByteArray& file, const QByteArray& word);
// The body of the (last) object that contains `marker`, or has `number`, in a file, with its
// number; empty when not found. For dictionary entries the engine API does not expose.
struct RawObject {
    int number = 0;
    QByteArray body;
};
RawObject findObject(const QByteArray& file, const QByteArray& marker);
RawObject objectByNumber(const QByteArray& file, int number);

}  // namespace scrivola::testing
