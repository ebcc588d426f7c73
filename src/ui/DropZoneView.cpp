#include "ui/DropZoneView.h"

#include "ui/Symbols.h"
#include "app/core/Theme.h"
#include "workspace/AppViewModel.h"
#include "workspace/WorkspaceDrops.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

namespace scrivola {

namespace {
constexpr int kInset = 12;
constexpr int kSymbolSize = 56;
}  // namespace

DropZoneView::DropZoneView(AppViewModel* model, QWidget* parent) : QWidget(parent), model_(model) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
    // The symbol grows and shrinks, over and over, while the cover is shown.
    animation_.setStartValue(0.85);
    animation_.setKeyValueAt(0.5, 1.15);
    animation_.setEndValue(0.85);
    animation_.setDuration(1200);
    animation_.setLoopCount(-1);
    connect(&animation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        pulse_ = value.toDouble();
        update();
    });
    parent->installEventFilter(this);
    qApp->installEventFilter(this);
    leave_.setSingleShot(true);
    leave_.setInterval(80);
    connect(&leave_, &QTimer::timeout, this, [this] {
        if (model_) model_->setDropTargetActive(false);
    });
    setGeometry(parent->rect());
    connect(model, &AppViewModel::isDropTargetActiveChanged, this, &DropZoneView::setActive);
    setActive(model->isDropTargetActive());
}

DropZoneView::~DropZoneView() { qApp->removeEventFilter(this); }

void DropZoneView::setActive(bool active) {
    if (active) {
        setGeometry(parentWidget()->rect());
        raise();
        show();
        animation_.start();
    } else {
        animation_.stop();
        pulse_ = 1.0;
        hide();
    }
}

bool DropZoneView::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == parentWidget() && type == QEvent::Resize) setGeometry(parentWidget()->rect());
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::DragLeave && type != QEvent::Drop) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window() || !model_) return false;
    if (type == QEvent::DragLeave) {
        leave_.start();
    } else if (type == QEvent::Drop) {
        leave_.start();
    } else if (WorkspaceDrops::hasFiles(*static_cast<QDropEvent*>(event)->mimeData())) {
        leave_.stop();
        model_->setDropTargetActive(true);
    }
    return false;
}

void DropZoneView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = Theme::accent(palette());
    QColor cover = palette().color(QPalette::Window);
    cover.setAlphaF(0.8);
    painter.fillRect(rect(), cover);
    QColor tint = accent;
    tint.setAlphaF(0.08);
    const QRectF frame = QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset);
    QPainterPath path;
    path.addRoundedRect(frame, Theme::cornerRadius * 2, Theme::cornerRadius * 2);
    painter.fillPath(path, tint);
    QPen pen(accent, 3, Qt::CustomDashLine);
    pen.setDashPattern({4, 3});
    painter.setPen(pen);
    painter.drawPath(path);

    const double side = kSymbolSize * pulse_;
    const QPointF centre = frame.center() - QPointF(0, 20);
    paintSymbol(painter, QStringLiteral("arrow.down.doc"), QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side), accent);
    QFont font = painter.font();
    font.setPointSizeF(font.pointSizeF() * 1.4);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRectF(frame.left(), centre.y() + kSymbolSize * 0.7, frame.width(), 40), Qt::AlignHCenter | Qt::AlignTop,
                     QStringLiteral("Drop files here"));
}

}  // namespace scrivola
