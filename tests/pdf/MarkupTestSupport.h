#pragma once

// Fixtures for the highlight, whiteout and placement tests: PDFs with text, a picture and line
// art on pages with chosen boxes and rotation, a fake PDF view, and ways to look into saved files.

#include "pdf/PDFViewHandle.h"
#include "pdf/engine/PDFEngine.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace scrivola::markuptest {

struct Page {
    QRectF mediaBox{0, 0, 612, 792};  // user space
    std::optional<QRectF> cropBox;
    int rotate = 0;
    QByteArray annots;   // direct annotation dictionaries, written into /Annots as they are
    QByteArray content;  // fonts: /F1 (Helvetica); pictures: /Im1 (16 x 8 RGB, left half red, right half blue)
};

// All pages share one resource dictionary (font and picture). With `outlineToFirstPage`, the
// document has a bookmark "First" leading to page 1.
QByteArray buildPdf(const std::vector<Page>& pages, bool outlineToFirstPage = false);

// Content: one line of 12-point Helvetica with its baseline at (x, y) user space.
QByteArray textLine(const QString& text, double x, double y);
// Content: the picture drawn into (x, y, w, h) user space.
QByteArray picture(double x, double y, double w, double h);
// Content: a filled black rectangle (line art) in user space.
QByteArray blackBar(double x, double y, double w, double h);

PDFDocumentPtr load(const QByteArray& bytes);

// Every stream of a PDF file, inflated when it is deflated (raw otherwise), with its dictionary.
struct RawStream {
    QByteArray dictionary;
    QByteArray data;
};
std::vector<RawStream> streams(const QByteArray& file);
// True when any stream (inflated) or the file itself contains `word`.
bool fileContains(const QByteArray& file, const QByteArray& word);

// The page's text from the engine, all lines joined.
QString pageText(const PDFPage& page);
// pdftotext's text of a file, or nothing when the tool is missing.
std::optional<QString> popplerText(const QString& path);

// The page rendered at 1 pixel per point with rotation (the crop box as shown).
QImage render(const PDFPage& page);
// Fraction of pixels in `area` (image pixels) whose colour is within `tolerance` of `colour`.
double share(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 40);

// A view that shows the pages side by side at a scale, for the context's view needs. View
// coordinates: origin at the bottom-left of the view, y up; page i's shown (rotated) crop box
// starts at x = i * (its width + gap) * scale... (all pages are laid out along x), y = 0.
class FakeView : public PDFViewHandle {
public:
    explicit FakeView(PDFDocumentPtr document, double scale = 1.0, double gap = 20);

    std::optional<PDFSelection> currentSelection() const override { return selection; }
    void clearSelection() override {
        selection.reset();
        ++clearCount;
    }
    int pageIndexAt(const QPointF& viewPoint, bool nearest) const override;
    QPointF convertToPage(const QPointF& viewPoint, int pageIndex) const override;
    // The inverse: page space of page `pageIndex` to view coordinates.
    QPointF convertFromPage(const QPointF& pagePoint, int pageIndex) const;
    // The view rectangle page `pageIndex` occupies.
    QRectF pageRect(int pageIndex) const;

    std::optional<PDFSelection> selection;
    int clearCount = 0;

private:
    PDFDocumentPtr document_;
    double scale_;
    double gap_;
};

// A selection of whole text lines: each given line of text (matched by containment) on `page`.
PDFSelection lineSelection(const PDFPagePtr& page, const QStringList& lines);

}  // namespace scrivola::markuptest
