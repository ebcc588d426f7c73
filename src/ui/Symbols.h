#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QPainter;
class QRectF;

namespace scrivola {

// The interface's symbols by name ("chevron.down", "square.and.arrow.down", ...), drawn as line
// art in the palette's button-text colour at paint time, so they follow a change of appearance
// and stay sharp at any device pixel ratio. An unknown name draws a small ring.
QIcon symbolIcon(const QString& name);

// Draws the symbol into `rect` in `color` (the icons use this; views may draw symbols directly).
void paintSymbol(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color);

// The symbol drawn once in a fixed colour (the accent of a card, the danger colour of a
// warning), `size` logical pixels.
QPixmap symbolPixmap(const QString& name, const QSize& size, const QColor& color, qreal devicePixelRatio = 1.0);

// Whether the name has a drawing of its own.
bool hasSymbol(const QString& name);

}  // namespace scrivola
