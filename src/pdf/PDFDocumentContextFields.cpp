// Plain field setters of PDFDocumentContext: each notifies through its group's signal, only on a change.
#include "pdf/PDFDocumentContext.h"

namespace scrivola {

namespace {

using Signal = void (PDFDocumentContext::*)();

// Stores a value that has an equality and notifies when it differs.
template <typename T>
void assign(PDFDocumentContext* context, T& field, const T& value, Signal signal) {
    if (assignChanged(field, value)) emit(context->*signal)();
}

}  // namespace

void PDFDocumentContext::setViewMode(ViewMode value) { assign(this, viewMode_, value, &PDFDocumentContext::viewChanged); }
void PDFDocumentContext::setTextSelectionMode(bool value) { assign(this, isTextSelectionMode_, value, &PDFDocumentContext::viewChanged); }
void PDFDocumentContext::setSidebarVisible(bool value) { assign(this, isSidebarVisible_, value, &PDFDocumentContext::panelsChanged); }
void PDFDocumentContext::setSidebarWidth(double value) { assign(this, sidebarWidth_, value, &PDFDocumentContext::panelsChanged); }
void PDFDocumentContext::setThumbnailScale(double value) { assign(this, thumbnailScale_, value, &PDFDocumentContext::panelsChanged); }
void PDFDocumentContext::setSidebarMode(SidebarMode value) { assign(this, sidebarMode_, value, &PDFDocumentContext::panelsChanged); }
void PDFDocumentContext::setSelectedPages(const std::set<int>& value) { assign(this, selectedPages_, value, &PDFDocumentContext::selectedPagesChanged); }
void PDFDocumentContext::setAutoFitMode(AutoFitMode value) { assign(this, autoFitMode_, value, &PDFDocumentContext::autoFitModeChanged); }
void PDFDocumentContext::setNeedsAutoFit(bool value) { assign(this, needsAutoFit_, value, &PDFDocumentContext::viewChanged); }

void PDFDocumentContext::setHighlightColor(HighlightColor value) { assign(this, highlightColor_, value, &PDFDocumentContext::toolModesChanged); }
void PDFDocumentContext::setHighlightMode(bool value) { assign(this, isHighlightMode_, value, &PDFDocumentContext::toolModesChanged); }
void PDFDocumentContext::setWhiteoutMode(bool value) { assign(this, isWhiteoutMode_, value, &PDFDocumentContext::toolModesChanged); }
void PDFDocumentContext::setAnnotationsSidebarVisible(bool value) { assign(this, isAnnotationsSidebarVisible_, value, &PDFDocumentContext::panelsChanged); }
void PDFDocumentContext::setSignatureSidebarVisible(bool value) { assign(this, isSignatureSidebarVisible_, value, &PDFDocumentContext::panelsChanged); }
void PDFDocumentContext::openAnnotationsSidebar() {
    search_->setSidebarVisible(false);
    closeSignatureSidebar();
    setAnnotationsSidebarVisible(true);
}

void PDFDocumentContext::closeSignatureSidebar() {
    setSignatureSidebarVisible(false);
    signaturePlacement_->clearSignatureSelection();
}

void PDFDocumentContext::toggleSignatureSidebar() {
    if (isSignatureSidebarVisible_) return closeSignatureSidebar();
    search_->setSidebarVisible(false);
    setAnnotationsSidebarVisible(false);
    setSignatureSidebarVisible(true);
}

void PDFDocumentContext::setCompressSheetVisible(bool value) { assign(this, isCompressSheetVisible_, value, &PDFDocumentContext::panelsChanged); }

}  // namespace scrivola
