#pragma once

#include "pdf/PDFContextTypes.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <vector>

namespace scrivola {

// Where the pages of a document lie in a PDF view, in layout points: view pixels at scale 1,
// origin at the top-left of the laid-out document, y down. Multiplying by the view's scale gives
// pixels. Page sizes are the sizes the pages are shown at (crop box, rotation applied), in points.
//
// Continuous modes lay every row of the document out one below the other. The other two show one
// row at a time (a page, or two side by side): there every row starts at the top, and the document
// is as large as its largest row, so the view's size does not change from page to page.
// Two-up rows pair pages 1–2, 3–4, ...; a row's pages are centred on its height and the row on the
// document's width. With page breaks, a margin of kGap surrounds the pages and kGap separates them.
class PDFPageLayout {
public:
    static constexpr double kGap = 10;

    PDFPageLayout() = default;
    PDFPageLayout(std::vector<QSizeF> pageSizes, ViewMode mode, bool pageBreaks = true);

    ViewMode mode() const { return mode_; }
    int pageCount() const { return int(pages_.size()); }
    int rowCount() const { return int(rows_.size()); }
    int rowOf(int page) const;
    // The first and one past the last page of a row.
    int firstPageOfRow(int row) const;
    int endPageOfRow(int row) const;

    QSizeF documentSize() const { return documentSize_; }
    // The page's rectangle; empty for an index out of range.
    QRectF pageRect(int page) const;
    // The page under a layout point; with `nearest`, the closest page of the shown rows when the
    // point lies beside or between pages. -1 when there is none. `shownRow` is the row shown in the
    // non-continuous modes and is ignored in the continuous ones.
    int pageAt(const QPointF& point, bool nearest, int shownRow = 0) const;
    // The pages that meet `area`, in order (the shown row's, in the non-continuous modes).
    std::vector<int> pagesIn(const QRectF& area, int shownRow = 0) const;

private:
    struct Row {
        double top = 0;
        double height = 0;
        int first = 0;
        int end = 0;
    };
    // The rows whose pages may meet [top, bottom), as [first, end).
    std::pair<int, int> rowsBetween(double top, double bottom, int shownRow) const;

    ViewMode mode_ = ViewMode::continuous;
    std::vector<QRectF> pages_;
    std::vector<Row> rows_;
    QSizeF documentSize_;
};

}  // namespace scrivola
