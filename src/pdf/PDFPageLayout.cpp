#include "pdf/PDFPageLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace scrivola {

namespace {

// A page size that can be laid out: negative, empty or non-finite sizes count as 0.
QSizeF usable(const QSizeF& size) {
    const auto side = [](double v) { return std::isfinite(v) && v > 0 ? v : 0.0; };
    return QSizeF(side(size.width()), side(size.height()));
}

double distance(const QRectF& rect, const QPointF& point) {
    const double dx = std::max({rect.left() - point.x(), 0.0, point.x() - rect.right()});
    const double dy = std::max({rect.top() - point.y(), 0.0, point.y() - rect.bottom()});
    return std::hypot(dx, dy);
}

}  // namespace

PDFPageLayout::PDFPageLayout(std::vector<QSizeF> pageSizes, ViewMode mode, bool pageBreaks) : mode_(mode) {
    const double gap = pageBreaks ? kGap : 0;
    const int perRow = isTwoUp(mode) ? 2 : 1;
    const int count = int(pageSizes.size());
    pages_.resize(pageSizes.size());

    // Row sizes first: the document is as wide as its widest row.
    double width = 0;
    for (int first = 0; first < count; first += perRow) {
        Row row;
        row.first = first;
        row.end = std::min(count, first + perRow);
        double rowWidth = 0;
        for (int i = row.first; i < row.end; ++i) {
            const QSizeF size = usable(pageSizes[size_t(i)]);
            rowWidth += size.width() + (i > row.first ? gap : 0);
            row.height = std::max(row.height, size.height());
        }
        width = std::max(width, rowWidth);
        rows_.push_back(row);
    }
    const double documentWidth = width + 2 * gap;

    double top = gap;
    double tallest = 0;
    for (Row& row : rows_) {
        // Rows of the non-continuous modes each start at the top.
        row.top = isContinuous(mode) ? top : gap;
        double rowWidth = 0;
        for (int i = row.first; i < row.end; ++i) rowWidth += usable(pageSizes[size_t(i)]).width() + (i > row.first ? gap : 0);
        double x = (documentWidth - rowWidth) / 2;
        for (int i = row.first; i < row.end; ++i) {
            const QSizeF size = usable(pageSizes[size_t(i)]);
            pages_[size_t(i)] = QRectF(QPointF(x, row.top + (row.height - size.height()) / 2), size);
            x += size.width() + gap;
        }
        top += row.height + gap;
        tallest = std::max(tallest, row.height);
    }
    const double height = isContinuous(mode) ? top : tallest + 2 * gap;
    documentSize_ = rows_.empty() ? QSizeF(0, 0) : QSizeF(documentWidth, height);
}

int PDFPageLayout::rowOf(int page) const {
    if (page < 0 || page >= pageCount()) return -1;
    return page / (isTwoUp(mode_) ? 2 : 1);
}

int PDFPageLayout::firstPageOfRow(int row) const { return row >= 0 && row < rowCount() ? rows_[size_t(row)].first : -1; }

int PDFPageLayout::endPageOfRow(int row) const { return row >= 0 && row < rowCount() ? rows_[size_t(row)].end : -1; }

QRectF PDFPageLayout::pageRect(int page) const {
    return page >= 0 && page < pageCount() ? pages_[size_t(page)] : QRectF();
}

std::pair<int, int> PDFPageLayout::rowsBetween(double top, double bottom, int shownRow) const {
    if (rows_.empty()) return {0, 0};
    if (!isContinuous(mode_)) {
        const int row = std::clamp(shownRow, 0, rowCount() - 1);
        return {row, row + 1};
    }
    // Rows are sorted by their top: the first row that ends below `top`, up to the first row that
    // starts below `bottom`.
    const auto first = std::partition_point(rows_.begin(), rows_.end(), [&](const Row& r) { return r.top + r.height < top; });
    const auto end = std::partition_point(first, rows_.end(), [&](const Row& r) { return r.top <= bottom; });
    return {int(first - rows_.begin()), int(end - rows_.begin())};
}

int PDFPageLayout::pageAt(const QPointF& point, bool nearest, int shownRow) const {
    if (rows_.empty() || !std::isfinite(point.x()) || !std::isfinite(point.y())) return -1;
    auto [first, end] = rowsBetween(point.y(), point.y(), shownRow);
    for (int row = first; row < end; ++row)
        for (int i = rows_[size_t(row)].first; i < rows_[size_t(row)].end; ++i)
            if (pages_[size_t(i)].contains(point)) return i;
    if (!nearest) return -1;
    // Beside or between pages: the rows around the point, widened by one on each side.
    if (isContinuous(mode_)) {
        first = std::max(0, std::min(first, rowCount() - 1) - 1);
        end = std::min(rowCount(), std::max(end, first + 1) + 1);
    }
    int best = -1;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int row = first; row < end; ++row) {
        for (int i = rows_[size_t(row)].first; i < rows_[size_t(row)].end; ++i) {
            const double d = distance(pages_[size_t(i)], point);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
    }
    return best;
}

std::vector<int> PDFPageLayout::pagesIn(const QRectF& area, int shownRow) const {
    std::vector<int> pages;
    const QRectF box = area.normalized();
    const auto [first, end] = rowsBetween(box.top(), box.bottom(), shownRow);
    for (int row = first; row < end; ++row)
        for (int i = rows_[size_t(row)].first; i < rows_[size_t(row)].end; ++i)
            if (pages_[size_t(i)].intersects(box)) pages.push_back(i);
    return pages;
}

}  // namespace scrivola
