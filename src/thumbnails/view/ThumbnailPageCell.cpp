#include "thumbnails/view/ThumbnailPageCell.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace scrivola {

namespace {
constexpr double kRadius = 6;
constexpr double kBarHeight = 3;
constexpr double kCheckSize = 14;

QColor accent(const QPalette& palette) { return palette.color(QPalette::Highlight); }
QColor borderColour(const QPalette& palette) { return palette.color(QPalette::Mid); }
}  // namespace

QRectF ThumbnailPageCell::frameRect(const QRectF& cell) const {
    return {cell.left() + (cell.width() - thumbnailWidth) / 2, cell.top() + kBarSpace, thumbnailWidth, thumbnailHeight};
}

QRectF ThumbnailPageCell::pictureRect(const QRectF& cell) const {
    const QRectF frame = frameRect(cell).adjusted(3, 3, -3, -3);
    if (pageSize.isEmpty()) return frame;
    const QSizeF fitted = pageSize.scaled(frame.size(), Qt::KeepAspectRatio);
    return {frame.center().x() - fitted.width() / 2, frame.center().y() - fitted.height() / 2, fitted.width(),
            fitted.height()};
}

void ThumbnailPageCell::paint(QPainter& painter, const QRectF& cell, const QPalette& palette) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF frame = frameRect(cell);
    const bool highlighted = isSelected || isMarked;

    if (isDropTarget) {
        painter.setOpacity(dropBarOpacity);
        painter.fillRect(QRectF(frame.left(), cell.top() + (kBarSpace - kBarHeight) / 2, frame.width(), kBarHeight),
                         accent(palette));
        painter.setOpacity(1);
    }

    QPainterPath outline;
    outline.addRoundedRect(frame, kRadius, kRadius);
    painter.fillPath(outline, isHovered ? palette.color(QPalette::Midlight) : palette.color(QPalette::Base));
    const QRectF picture = pictureRect(cell);
    if (!thumbnail.isNull()) {
        painter.save();
        painter.setClipPath(outline);
        painter.drawImage(picture, thumbnail);
        painter.restore();
    } else if (!pageSize.isEmpty()) {
        // The page's place, white, until its picture arrives.
        painter.fillRect(picture, Qt::white);
    }
    const double border = highlighted ? 2 : 1;
    painter.setPen(QPen(highlighted ? accent(palette) : borderColour(palette), border));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame.adjusted(border / 2, border / 2, -border / 2, -border / 2), kRadius, kRadius);

    if (isMarked) {
        // A filled circle with a tick, in the top-right corner of the picture.
        const QRectF circle(frame.right() - kCheckSize - 5, frame.top() + 5, kCheckSize, kCheckSize);
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent(palette));
        painter.drawEllipse(circle);
        QPen tick(palette.color(QPalette::HighlightedText), 1.8);
        tick.setCapStyle(Qt::RoundCap);
        tick.setJoinStyle(Qt::RoundJoin);
        painter.setPen(tick);
        const QPointF o = circle.topLeft();
        const double s = kCheckSize;
        painter.drawPolyline(QPolygonF({o + QPointF(s * 0.28, s * 0.52), o + QPointF(s * 0.44, s * 0.68),
                                        o + QPointF(s * 0.72, s * 0.34)}));
    }

    QFont caption = painter.font();
    caption.setPointSizeF(std::max(7.0, caption.pointSizeF() * 0.85));
    painter.setFont(caption);
    painter.setPen(highlighted ? accent(palette) : palette.color(QPalette::PlaceholderText));
    painter.drawText(QRectF(cell.left(), frame.bottom(), cell.width(), kLabelHeight), Qt::AlignCenter,
                     QString::number(pageIndex + 1));
    painter.restore();
}

void ThumbnailPageCell::paintEndBar(QPainter& painter, const QRectF& lastCell, double thumbnailWidth,
                                    const QPalette& palette) {
    const double left = lastCell.left() + (lastCell.width() - thumbnailWidth) / 2;
    painter.fillRect(QRectF(left, lastCell.bottom() + 2, thumbnailWidth, kBarHeight), accent(palette));
}

}  // namespace scrivola
