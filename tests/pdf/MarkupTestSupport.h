#pragma once

// Fixtures for the highlight, whiteout and placement tests: PDFs with text, a picture and line
// art on pages with chosen boxes and rotation, a fake PDF view, and ways to look into saved files.

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/PDFViewHandle.h"
#include "pdf/engine/PDFEngine.h"
#include "support/PdfFactory.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace scrivola::markuptest {

using Page = testing::PdfPageSpec;
using testing::blackBar;
using testing::buildPdf;
using testing::fileContains;
using testing::picture;
using testing::RawStream;
using testing::share;
using testing::streams;
using testing::textLine;

PDFDocumentPtr load(const QByteArray& bytes);
// The page's text from the engine, all lines joined.
QString pageText(const PDFPage& page);
// pdftotext's text of a file, or nothing when the tool is missing.
std::optional<QString> popplerText(const QString& path);
// The page rendered at 1 pixel per point with rotation (the crop box as shown).
QImage render(const PDFPage& page);

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

// A document made of `pages`, opened in memory with its context and a FakeView at scale 1.
class MarkupTest : public ::testing::Test {
public:
    void openPages(const std::vector<Page>& pages) {
        model = std::make_unique<PDFDocumentModel>(load(buildPdf(pages)));
        context = std::make_unique<PDFDocumentContext>(model.get());
        view = std::make_shared<FakeView>(model->pdfDocument());
        context->setPdfView(view);
    }
    PDFPagePtr page(int i) const { return model->pdfDocument()->page(i); }

    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
    std::shared_ptr<FakeView> view;
};

}  // namespace scrivola::markuptest
