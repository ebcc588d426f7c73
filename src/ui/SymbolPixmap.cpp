#include "ui/SymbolPixmap.h"

#include "ui/Symbols.h"

#include <QPainter>

namespace scrivola {

QPixmap symbolPixmap(const QString& name, int size, const QColor& color, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    paintSymbol(painter, name, QRectF(0, 0, size, size), color);
    return pixmap;
}

}  // namespace scrivola
