#include "pdf/PDFDocumentContext.h"

#include <algorithm>
#include <cmath>

namespace scrivola {

PDFDocumentContext::PDFDocumentContext(PDFDocumentModel* model, QObject* parent)
    : DocumentContext(parent), model_(model), search_(new PDFSearchSession(this)),
      textTool_(new PDFTextBoxTool(this)),
      signaturePlacement_(new PDFSignaturePlacement(this)) {}

PDFDocumentContext::~PDFDocumentContext() = default;

// --- Zoom ------------------------------------------------------------------------------------

void PDFDocumentContext::setZoomLevel(double value) {
    if (!std::isfinite(value) || value <= 0) return;
    if (zoomLevel_ == value) return;
    zoomLevel_ = value;
    emit zoomLevelChanged();
}

void PDFDocumentContext::zoomIn() {
    setAutoFitMode(AutoFitMode::manual);
    setZoomLevel(Zoom::steppedIn(zoomLevel_));
}

void PDFDocumentContext::zoomOut() {
    setAutoFitMode(AutoFitMode::manual);
    setZoomLevel(Zoom::steppedOut(zoomLevel_));
}

void PDFDocumentContext::zoomToFit() { chooseAutoFitMode(AutoFitMode::fitPage); }

void PDFDocumentContext::zoomToActualSize() {
    setAutoFitMode(AutoFitMode::manual);
    setZoomLevel(1.0);
}

void PDFDocumentContext::chooseAutoFitMode(AutoFitMode mode) {
    setAutoFitMode(mode);
    setNeedsAutoFit(true);
}

// --- Navigation ------------------------------------------------------------------------------

int PDFDocumentContext::totalPages() const {
    const PDFDocumentModel* model = model_.data();
    return model && model->pdfDocument() ? model->pdfDocument()->pageCount() : 0;
}

void PDFDocumentContext::setCurrentPage(int index) {
    const int target = std::max(0, std::min(index, totalPages() - 1));
    if (currentPage_ == target) return;
    currentPage_ = target;
    emit currentPageChanged();
}

void PDFDocumentContext::goToPage(int index) {
    int target = std::max(0, std::min(index, totalPages() - 1));
    // Two pages side by side: address the left page of the spread.
    if (viewMode_ == ViewMode::twoPages && target > 0 && target % 2 == 1) --target;
    setCurrentPage(target);
}

void PDFDocumentContext::goToNextPage() {
    const int step = viewMode_ == ViewMode::twoPages ? 2 : 1;
    const int count = totalPages();
    if (currentPage_ + step < count)
        setCurrentPage(currentPage_ + step);
    else if (currentPage_ < count - 1)
        setCurrentPage(count - 1);
}

void PDFDocumentContext::goToPreviousPage() {
    const int step = viewMode_ == ViewMode::twoPages ? 2 : 1;
    if (currentPage_ - step >= 0)
        setCurrentPage(currentPage_ - step);
    else if (currentPage_ >= 1)
        setCurrentPage(0);
}

// --- Search stepping -------------------------------------------------------------------------

void PDFDocumentContext::nextResult() { search_->nextResult(); }
void PDFDocumentContext::previousResult() { search_->previousResult(); }

// --- Page selection --------------------------------------------------------------------------

void PDFDocumentContext::togglePageSelection(int index) {
    if (index < 0 || index >= totalPages()) return;
    std::set<int> pages = selectedPages_;
    if (!pages.erase(index)) pages.insert(index);
    setSelectedPages(pages);
}

void PDFDocumentContext::extendSelection(int index) {
    if (index < 0 || index >= totalPages()) return;
    std::set<int> pages = selectedPages_;
    if (pages.empty()) {
        pages.insert(index);
    } else {
        // The anchor is the highest selected page; pages selected outside the range stay.
        const int anchor = *pages.rbegin();
        for (int i = std::min(anchor, index); i <= std::max(anchor, index); ++i) pages.insert(i);
    }
    setSelectedPages(pages);
}

// --- Undo ------------------------------------------------------------------------------------

void PDFDocumentContext::markDocumentModified() {
    if (PDFDocumentModel* model = model_.data()) model->setModified(true);
}

void PDFDocumentContext::clampCurrentPage() {
    const int count = totalPages();
    if (currentPage_ >= count) setCurrentPage(std::max(count - 1, 0));
    if (!selectedPages_.empty() && *selectedPages_.rbegin() >= count) {
        std::set<int> pages(selectedPages_.begin(), selectedPages_.lower_bound(count));
        setSelectedPages(pages);
    }
}

// --- Printing --------------------------------------------------------------------------------

bool PDFDocumentContext::printDocument() {
    textTool_->endInlineEditing();
    PDFDocumentModel* model = model_.data();
    if (!printPresenter_ || !model) return false;
    const PDFDocument& document = *model->pdfDocument();

    std::vector<int> pages;
    if (!selectedPages_.empty()) {
        for (int index : selectedPages_)  // ascending
            if (document.page(index)) pages.push_back(index);
    } else {
        for (int index = 0; index < document.pageCount(); ++index) pages.push_back(index);
    }
    if (pages.empty()) return false;

    QPagedPaintDevice* device = printPresenter_->beginPrint({model->displayName(), int(pages.size())});
    if (!device) return false;
    const bool printed = printPDFPages(document, pages, *device);
    printPresenter_->finishPrint(device, printed);
    if (!printed) emit failureReported(printFailureMessage(model->displayName()));
    return printed;
}

}  // namespace scrivola
