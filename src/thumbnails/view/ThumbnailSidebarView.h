#pragma once

#include "pdf/PDFDocumentContext.h"

#include <QPointer>
#include <QWidget>

namespace scrivola {

class SidebarToolbar;
class ThumbnailGridView;
class ThumbnailZoomControls;

// The page-thumbnail sidebar of one PDF tab: the toolbar, the grid of pages and the zoom
// controls. Its state lives in the tab's context; only a drag in progress is the view's own.
class ThumbnailSidebarView : public QWidget {
    Q_OBJECT
public:
    explicit ThumbnailSidebarView(PDFDocumentContext* context, QWidget* parent = nullptr);

    PDFDocumentContext* context() const { return context_.data(); }
    SidebarToolbar* toolbar() const { return toolbar_; }
    ThumbnailGridView* grid() const { return grid_; }
    ThumbnailZoomControls* zoomControls() const { return zoom_; }

private:
    QPointer<PDFDocumentContext> context_;
    SidebarToolbar* toolbar_;
    ThumbnailGridView* grid_;
    ThumbnailZoomControls* zoom_;
};

}  // namespace scrivola
