#include "ui/Symbols.h"

#include "ui/SymbolDrawings.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace scrivola {
namespace {

class SymbolIconEngine : public QIconEngine {
public:
    explicit SymbolIconEngine(QString name) : name_(std::move(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        paintSymbol(*painter, name_, rect, color(mode));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        return symbolPixmap(name_, size, color(mode), scale);
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(name_); }
    QString key() const override { return QStringLiteral("scrivola-symbol"); }

private:
    // The palette's button-text colour of the moment; a disabled symbol is faded.
    static QColor color(QIcon::Mode mode) {
        const QPalette palette = QApplication::palette();
        QColor color = palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active, QPalette::ButtonText);
        if (mode == QIcon::Disabled) color.setAlphaF(0.35);
        return color;
    }

    QString name_;
};

}  // namespace

bool hasSymbol(const QString& name) { return symbolShapes().count(name) > 0; }

void paintSymbol(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(rect.width(), rect.height());
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side / 16.0, side / 16.0);
    QPen pen(color, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const auto found = symbolShapes().find(name);
    if (found != symbolShapes().end()) {
        painter.drawPath(found->second.stroke);
        painter.fillPath(found->second.fill, color);
    } else {
        painter.drawEllipse(QPointF(8, 8), 3, 3);
    }
    painter.restore();
}

QPixmap symbolPixmap(const QString& name, const QSize& size, const QColor& color, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paintSymbol(painter, name, QRectF(QPointF(0, 0), size), color);
    return pixmap;
}

QIcon symbolIcon(const QString& name) { return QIcon(new SymbolIconEngine(name)); }

}  // namespace scrivola
