#pragma once

#include <QImage>
#include <QRectF>
#include <QSizeF>

class QPainter;
class QPalette;

namespace scrivola {

// One page of the thumbnail sidebar, painted by the grid (no widget per page, so a document of
// thousands of pages stays light): the picture in a rounded frame, the page number below it, the
// highlight states and the drop bar.
struct ThumbnailPageCell {
    static constexpr double kBarSpace = 6;   // above the frame: room for the 3-point drop bar
    static constexpr double kLabelHeight = 18;

    int pageIndex = 0;
    bool isSelected = false;    // among the pages on screen in the main view
    bool isMarked = false;      // in the context's selected pages
    bool isDropTarget = false;  // a dragged page would land before this one
    bool isHovered = false;
    double dropBarOpacity = 1;  // the bar fades in
    double thumbnailWidth = 140;
    double thumbnailHeight = 180;
    QImage thumbnail;    // null while absent: an empty frame is drawn
    QSizeF pageSize;     // the page as shown (points); empty while unknown

    // The cell's whole height, drop-bar space and number included.
    static double height(double thumbnailHeight) { return kBarSpace + thumbnailHeight + kLabelHeight; }
    // The frame inside a cell of `cell` (centred horizontally, below the bar space).
    QRectF frameRect(const QRectF& cell) const;
    // The picture inside the frame: the page's aspect ratio, centred; the frame when unknown.
    QRectF pictureRect(const QRectF& cell) const;
    void paint(QPainter& painter, const QRectF& cell, const QPalette& palette) const;
    // The drop bar after the last page (a drop there moves pages to the end).
    static void paintEndBar(QPainter& painter, const QRectF& lastCell, double thumbnailWidth, const QPalette& palette);
};

}  // namespace scrivola
