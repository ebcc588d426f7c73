#pragma once

#include <QColor>
#include <QIcon>
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

// Whether the name has a drawing of its own.
bool hasSymbol(const QString& name);

}  // namespace scrivola
