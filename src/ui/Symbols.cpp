#include "ui/Symbols.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <functional>
#include <map>

namespace scrivola {
namespace {

// A drawing on a 16 × 16 grid; the painter is scaled to the target and has the pen set.
using Drawing = std::function<void(QPainter&)>;

const std::map<QString, Drawing>& drawings() {
    static const std::map<QString, Drawing> table = {
        {QStringLiteral("chevron.down"), [](QPainter& p) { p.drawPolyline(QPolygonF({{4, 6}, {8, 10}, {12, 6}})); }},
        {QStringLiteral("chevron.left"), [](QPainter& p) { p.drawPolyline(QPolygonF({{10, 4}, {6, 8}, {10, 12}})); }},
        {QStringLiteral("chevron.right"), [](QPainter& p) { p.drawPolyline(QPolygonF({{6, 4}, {10, 8}, {6, 12}})); }},
        {QStringLiteral("plus"), [](QPainter& p) {
             p.drawLine(QPointF(8, 3), QPointF(8, 13));
             p.drawLine(QPointF(3, 8), QPointF(13, 8));
         }},
        {QStringLiteral("xmark"), [](QPainter& p) {
             p.drawLine(QPointF(4, 4), QPointF(12, 12));
             p.drawLine(QPointF(12, 4), QPointF(4, 12));
         }},
    };
    return table;
}

class SymbolIconEngine : public QIconEngine {
public:
    explicit SymbolIconEngine(QString name) : name_(std::move(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const QPalette palette = QApplication::palette();
        QColor color = palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active, QPalette::ButtonText);
        if (mode == QIcon::Disabled) color.setAlphaF(0.35);
        paintSymbol(*painter, name_, rect, color);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new SymbolIconEngine(name_); }
    QString key() const override { return QStringLiteral("scrivola-symbol"); }

private:
    QString name_;
};

}  // namespace

bool hasSymbol(const QString& name) { return drawings().count(name) > 0; }

void paintSymbol(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(rect.width(), rect.height());
    painter.translate(rect.center().x() - side / 2, rect.center().y() - side / 2);
    painter.scale(side / 16.0, side / 16.0);
    QPen pen(color, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const auto found = drawings().find(name);
    if (found != drawings().end()) found->second(painter);
    else painter.drawEllipse(QPointF(8, 8), 3, 3);
    painter.restore();
}

QIcon symbolIcon(const QString& name) { return QIcon(new SymbolIconEngine(name)); }

}  // namespace scrivola
