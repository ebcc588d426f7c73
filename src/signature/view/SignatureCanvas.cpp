// Drawing a new signature: the canvas (stroke capture, drawing, rendering) and its sheet.

#include "signature/view/SignatureCanvas.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace scrivola {

namespace {

const QColor kCanvasBackground = QColor::fromRgbF(0.08f, 0.08f, 0.085f);
constexpr double kCornerRadius = 8.0;

void setStrokePen(QPainter& painter, const QColor& color, double width) {
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
}

}  // namespace

SignatureCanvas::SignatureCanvas(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setCursor(Qt::CrossCursor);
    setMinimumSize(120, 80);
}

void SignatureCanvas::setStrokeColor(const QColor& color) {
    strokeColor_ = color;
    update();
}

void SignatureCanvas::setShowsGuideLine(bool value) {
    showsGuideLine_ = value;
    update();
}

void SignatureCanvas::clear() {
    strokes_.clear();
    currentStroke_.clear();
    isDrawing_ = false;
    update();
    emit strokesChanged();
}

QPainterPath SignatureCanvas::strokePath(const Stroke& stroke) {
    QPainterPath path;
    if (stroke.size() < 2) return path;
    path.moveTo(stroke.front());
    if (stroke.size() == 2) {
        path.lineTo(stroke.back());
        return path;
    }
    // Quadratic pieces from midpoint to midpoint with the points as control points: smooth, and
    // inside the points' convex hull.
    for (size_t i = 1; i + 1 < stroke.size(); ++i) {
        const QPointF mid = (stroke[i] + stroke[i + 1]) / 2;
        path.quadTo(stroke[i], mid);
    }
    path.lineTo(stroke.back());
    return path;
}

void SignatureCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath clip;
    clip.addRoundedRect(frame, kCornerRadius, kCornerRadius);
    painter.fillPath(clip, kCanvasBackground);
    painter.setClipPath(clip);

    if (showsGuideLine_) {
        const double y = height() - 40.0 + 0.5;
        painter.setPen(QPen(QColor(255, 255, 255, 60), 1.0));
        painter.drawLine(QPointF(20, y), QPointF(width() - 20, y));
    }
    setStrokePen(painter, strokeColor_, lineWidth_);
    for (const Stroke& stroke : strokes_) painter.drawPath(strokePath(stroke));
    painter.drawPath(strokePath(currentStroke_));

    painter.setClipping(false);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1.0));
    painter.drawPath(clip);
}

void SignatureCanvas::updateStrokeTail() {
    // The last three points decide the newest pieces of the curve.
    const size_t count = currentStroke_.size();
    QRectF area;
    for (size_t i = count > 3 ? count - 3 : 0; i < count; ++i) area |= QRectF(currentStroke_[i], QSizeF(0, 0));
    const double pad = lineWidth_ + 2;
    update(area.adjusted(-pad, -pad, pad, pad).toAlignedRect());
}

void SignatureCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    isDrawing_ = true;
    currentStroke_ = {event->position()};
    updateStrokeTail();
}

void SignatureCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!isDrawing_ || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    currentStroke_.push_back(event->position());
    updateStrokeTail();
}

void SignatureCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isDrawing_) return QWidget::mouseReleaseEvent(event);
    isDrawing_ = false;
    const bool added = currentStroke_.size() >= 2;
    if (added) strokes_.push_back(std::move(currentStroke_));
    currentStroke_.clear();
    update();
    if (added) emit strokesChanged();
}

QImage SignatureCanvas::renderImage() const {
    double minX = std::numeric_limits<double>::infinity();
    double minY = minX;
    double maxX = -minX;
    double maxY = -minX;
    bool any = false;
    const auto include = [&](const Stroke& stroke) {
        for (const QPointF& p : stroke) {
            minX = std::min(minX, p.x());
            minY = std::min(minY, p.y());
            maxX = std::max(maxX, p.x());
            maxY = std::max(maxY, p.y());
            any = true;
        }
    };
    for (const Stroke& stroke : strokes_) include(stroke);
    include(currentStroke_);  // counts for the bounds, is not drawn
    if (!any) return {};
    minX -= lineWidth_;
    minY -= lineWidth_;
    maxX += lineWidth_;
    maxY += lineWidth_;
    const double width = maxX - minX;
    const double height = maxY - minY;
    if (width <= 2.0 || height <= 2.0) return {};

    const QSizeF points(width + 2 * kMargin, height + 2 * kMargin);
    QImage image(int(std::ceil(points.width() * kRenderScale - 1e-6)), int(std::ceil(points.height() * kRenderScale - 1e-6)),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    const int dotsPerMeter = int(std::lround(72.0 * kRenderScale / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kRenderScale, kRenderScale);
    painter.translate(kMargin - minX, kMargin - minY);
    setStrokePen(painter, Qt::black, lineWidth_);
    for (const Stroke& stroke : strokes_) painter.drawPath(strokePath(stroke));
    painter.end();
    return image;
}

// --- The sheet -----------------------------------------------------------------------------------

SignatureCreationSheet::SignatureCreationSheet(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("New Signature"));
    setFixedWidth(420);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);

    auto* title = new QLabel(QStringLiteral("New Signature"), this);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title->setFont(bold);
    layout->addWidget(title);

    canvas_ = new SignatureCanvas(this);
    canvas_->setFixedHeight(160);
    canvas_->setShowsGuideLine(true);
    layout->addWidget(canvas_);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Name:"), this));
    nameField_ = new QLineEdit(this);
    nameField_->setPlaceholderText(QStringLiteral("Signature Name"));
    nameRow->addWidget(nameField_, 1);
    layout->addLayout(nameRow);

    auto* buttons = new QHBoxLayout;
    clearButton_ = new QPushButton(style()->standardIcon(QStyle::SP_TrashIcon), QStringLiteral("Clear"), this);
    clearButton_->setAutoDefault(false);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setAutoDefault(false);
    saveButton_ = new QPushButton(QStringLiteral("Save"), this);
    saveButton_->setDefault(true);
    buttons->addWidget(clearButton_);
    buttons->addStretch(1);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(saveButton_);
    layout->addLayout(buttons);

    connect(clearButton_, &QPushButton::clicked, canvas_, &SignatureCanvas::clear);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(saveButton_, &QPushButton::clicked, this, &SignatureCreationSheet::save);
}

QString SignatureCreationSheet::defaultName(const QDate& date, const QLocale& locale) {
    return QStringLiteral("Signature ") + locale.toString(date, QStringLiteral("MMM d"));
}

void SignatureCreationSheet::save() {
    const QImage image = canvas_->renderImage();
    if (image.isNull()) return;  // nothing drawn: the sheet stays open
    const QString typed = nameField_->text();
    const QString name = typed.isEmpty() ? defaultName(QDate::currentDate()) : typed;
    if (saveHandler_ && !saveHandler_(image, name)) return;
    accept();
}

}  // namespace scrivola
