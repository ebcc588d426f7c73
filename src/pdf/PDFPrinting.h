#pragma once

#include "pdf/engine/PDFEngine.h"

#include <QString>

#include <vector>

class QPagedPaintDevice;

namespace scrivola {

// What the user is about to print, for the print dialog's title and page range.
struct PDFPrintJob {
    QString documentName;
    int pageCount = 0;
};

// Supplies the paint device to print on (the application shows its print dialog and hands over
// the chosen printer; tests hand over a PDF writer).
class PDFPrintPresenter {
public:
    virtual ~PDFPrintPresenter() = default;
    // The device to print on, or null when the user cancelled. The device stays owned by the
    // presenter and must stay alive until finishPrint() is called for it.
    virtual QPagedPaintDevice* beginPrint(const PDFPrintJob& job) = 0;
    virtual void finishPrint(QPagedPaintDevice* device, bool succeeded) {
        Q_UNUSED(device);
        Q_UNUSED(succeeded);
    }
};

// Resolution used for page bitmaps on paper: the device's own, but never above this, so that a
// high-resolution device does not make page-sized bitmaps of several hundred megabytes.
constexpr int kMaximumPrintDpi = 600;

// Prints the pages at `pageIndices` (in the given order; indices without a page are skipped)
// onto `device`, one sheet per page. Each page is rendered at the device's resolution (capped
// at kMaximumPrintDpi), scaled to fit the paintable area, centred, and turned by 90 degrees
// when its orientation differs from the paper's. Renders one page at a time. When the device
// carries page ranges (chosen in the print dialog), only those sheets of the job print.
// Returns false when nothing could be painted.
bool printPDFPages(const PDFDocument& document, const std::vector<int>& pageIndices, QPagedPaintDevice& device);

}  // namespace scrivola
