#include "thumbnails/view/ThumbnailSidebarView.h"

#include "pdf/PDFDocumentContext.h"
#include "thumbnails/view/SidebarControls.h"
#include "thumbnails/view/ThumbnailGridView.h"

#include <QFrame>
#include <QTimer>
#include <QVBoxLayout>

namespace scrivola {

ThumbnailSidebarView::ThumbnailSidebarView(PDFDocumentContext* context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      toolbar_(new SidebarToolbar(context, this)),
      grid_(new ThumbnailGridView(context, this)),
      zoom_(new ThumbnailZoomControls(context, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const auto line = [this] {
        auto* rule = new QFrame(this);
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Plain);
        rule->setForegroundRole(QPalette::Mid);
        return rule;
    };
    layout->addWidget(toolbar_);
    layout->addWidget(line());
    layout->addWidget(grid_, 1);
    layout->addWidget(line());
    layout->addWidget(zoom_);
    // The current page's cell is in view from the start, once the grid has its size.
    QTimer::singleShot(0, grid_, [grid = grid_, context = context_] {
        if (context) grid->scrollToPage(context->currentPage(), false);
    });
}

}  // namespace scrivola
