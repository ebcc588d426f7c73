#include "ui/EmptyWindowHint.h"

#include <QPainter>

namespace scrivola {

EmptyWindowHint::EmptyWindowHint(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
}

void EmptyWindowHint::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Open a PDF or an image (Ctrl+O), or drop files here."));
}

}  // namespace scrivola
