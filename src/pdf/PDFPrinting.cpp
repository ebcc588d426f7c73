#include "pdf/PDFPrinting.h"

#include <QImage>
#include <QPageRanges>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTransform>

#include <algorithm>

namespace scrivola {

namespace {

bool isLandscape(double width, double height) { return width > height; }

// Draws one page into `area` (device pixels) of the painter's device.
bool printPage(QPainter& painter, const PDFPage& page, const QRectF& area, double deviceDpi) {
    const QSizeF pageSize = page.rotatedSize(PDFBox::cropBox);  // points, as the page is shown
    if (pageSize.width() <= 0 || pageSize.height() <= 0 || area.isEmpty()) return false;

    const bool turn = isLandscape(pageSize.width(), pageSize.height()) != isLandscape(area.width(), area.height())
                      && pageSize.width() != pageSize.height() && area.width() != area.height();
    const QSizeF placed = turn ? pageSize.transposed() : pageSize;
    // Device pixels per point so that the page fills the area in at least one direction.
    const double fit = std::min(area.width() / placed.width(), area.height() / placed.height());
    const QSizeF target(placed.width() * fit, placed.height() * fit);

    // Bitmap pixels per point: the device's resolution, capped.
    const double dpiCap = std::min<double>(deviceDpi, kMaximumPrintDpi);
    double renderScale = fit * (deviceDpi > 0 ? dpiCap / deviceDpi : 1.0);
    QImage image;
    // A bitmap that the engine refuses (too large) is retried at half the resolution.
    for (int attempt = 0; attempt < 4 && image.isNull() && renderScale > 0.05; ++attempt) {
        image = page.render(renderScale);
        renderScale /= 2;
    }
    if (image.isNull()) return false;

    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(area.center());
    if (turn) painter.rotate(90);
    // In the (possibly rotated) frame the page's own width runs along x.
    const QSizeF drawn = turn ? target.transposed() : target;
    painter.drawImage(QRectF(QPointF(-drawn.width() / 2, -drawn.height() / 2), drawn), image);
    painter.restore();
    return true;
}

}  // namespace

bool printPDFPages(const PDFDocument& document, const std::vector<int>& pageIndices, QPagedPaintDevice& device) {
    // A range chosen in the print dialog counts the sheets of this job, one-based.
    const QPageRanges ranges = device.pageRanges();
    std::vector<PDFPagePtr> pages;
    int sheet = 0;
    for (int index : pageIndices) {
        auto page = document.page(index);
        if (!page) continue;
        ++sheet;
        if (ranges.isEmpty() || ranges.contains(sheet)) pages.push_back(std::move(page));
    }
    if (pages.empty()) return false;

    QPainter painter;
    if (!painter.begin(&device)) return false;
    const QRectF area(0, 0, device.width(), device.height());
    const double dpi = device.logicalDpiX();
    bool printedAny = false;
    bool first = true;
    for (const auto& page : pages) {
        if (!first && !device.newPage()) break;
        first = false;
        printedAny = printPage(painter, *page, area, dpi) || printedAny;
    }
    painter.end();
    return printedAny;
}

}  // namespace scrivola
