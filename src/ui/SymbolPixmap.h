#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace scrivola {

// A symbol (see Symbols.h) drawn once in a fixed colour, such as the accent colour of a card or
// the danger colour of a warning; `size` logical pixels square.
QPixmap symbolPixmap(const QString& name, int size, const QColor& color, qreal devicePixelRatio = 1.0);

}  // namespace scrivola
