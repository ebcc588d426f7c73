#include "annotation/CoreTextFreeTextAnnotation.h"

#include "annotation/TextBoxAppearance.h"
#include "annotation/TextBoxFont.h"
#include "annotation/TextBoxLayout.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QTransform>

#include <cmath>

namespace scrivola {

const QString CoreTextFreeTextAnnotation::underlineKey = QStringLiteral("/ScrivolaUL");
const QString CoreTextFreeTextAnnotation::strikethroughKey = QStringLiteral("/ScrivolaST");

Qt::Alignment toQtAlignment(PDFAnnotation::Alignment alignment) {
    switch (alignment) {
    case PDFAnnotation::Alignment::center: return Qt::AlignHCenter;
    case PDFAnnotation::Alignment::right: return Qt::AlignRight;
    case PDFAnnotation::Alignment::left: break;
    }
    return Qt::AlignLeft;
}

PDFAnnotation::Alignment toPDFAlignment(Qt::Alignment alignment) {
    if (alignment & Qt::AlignHCenter) return PDFAnnotation::Alignment::center;
    if (alignment & Qt::AlignRight) return PDFAnnotation::Alignment::right;
    return PDFAnnotation::Alignment::left;
}

CoreTextFreeTextAnnotation CoreTextFreeTextAnnotation::create(const QRectF& bounds, const Properties& properties) {
    installTextBoxAppearanceWriter();
    PDFAnnotationPtr annotation = PDFAnnotation::create(PDFAnnotation::Subtype::freeText, bounds);
    const double size = properties.font.pointSizeF() > 0 ? properties.font.pointSizeF() : 12.0;
    annotation->setContents(properties.contents);
    annotation->setFont(storedFontName(properties.font), size);
    annotation->setFontColor(properties.fontColor.isValid() ? properties.fontColor : QColor(Qt::black));
    annotation->setColor(QColor(Qt::transparent));
    annotation->setAlignment(toPDFAlignment(properties.alignment));
    annotation->setBorderWidth(0);
    CoreTextFreeTextAnnotation box(std::move(annotation));
    box.setUnderline(properties.isUnderline);
    box.setStrikethrough(properties.isStrikethrough);
    return box;
}

bool CoreTextFreeTextAnnotation::isFreeText(const PDFAnnotation& annotation) {
    const QString type = annotation.type();
    return type == QLatin1String("FreeText") || type == QLatin1String("/FreeText");
}

bool CoreTextFreeTextAnnotation::isTextBox(const PDFAnnotation& annotation) {
    return isFreeText(annotation) && (annotation.hasValue(underlineKey) || annotation.hasValue(strikethroughKey));
}

bool CoreTextFreeTextAnnotation::isUnderline() const {
    return annotation_ && annotation_->boolValue(underlineKey).value_or(false);
}

bool CoreTextFreeTextAnnotation::isStrikethrough() const {
    return annotation_ && annotation_->boolValue(strikethroughKey).value_or(false);
}

// The engine does not redraw for private entries; a box on a page gets its appearance anew.
void CoreTextFreeTextAnnotation::setUnderline(bool value) {
    if (!annotation_) return;
    const bool changed = annotation_->boolValue(underlineKey) != std::optional<bool>(value);
    annotation_->setBoolValue(underlineKey, value);
    if (changed && annotation_->page()) refreshAppearance();
}

void CoreTextFreeTextAnnotation::setStrikethrough(bool value) {
    if (!annotation_) return;
    const bool changed = annotation_->boolValue(strikethroughKey) != std::optional<bool>(value);
    annotation_->setBoolValue(strikethroughKey, value);
    if (changed && annotation_->page()) refreshAppearance();
}

QFont CoreTextFreeTextAnnotation::font() const {
    if (!annotation_) return fontFromStoredName({}, 0);
    return fontFromStoredName(annotation_->fontName(), annotation_->fontSize());
}

QColor CoreTextFreeTextAnnotation::fontColor() const {
    if (!annotation_) return Qt::black;
    const std::optional<QColor> color = annotation_->fontColor();
    return color && color->isValid() ? *color : QColor(Qt::black);
}

Qt::Alignment CoreTextFreeTextAnnotation::alignment() const {
    return annotation_ ? toQtAlignment(annotation_->alignment()) : Qt::AlignLeft;
}

void CoreTextFreeTextAnnotation::refreshAppearance() const {
    if (annotation_) writeTextBoxAppearance(*annotation_);
}

void CoreTextFreeTextAnnotation::draw(QPainter& painter, TextBoxEmphasis emphasis) const {
    if (!annotation_) return;
    const QRectF bounds = annotation_->bounds();
    const QString contents = annotation_->contents();
    const QTransform world = painter.worldTransform();
    // Thumbnails and other small renderings: the plain text only, no decorations or border.
    const bool small = std::hypot(world.m11(), world.m21()) < 0.5;
    if (!contents.isEmpty()) {
        painter.save();
        // Box-local coordinates, y down from the box's top-left corner.
        painter.setTransform(QTransform(1, 0, 0, -1, bounds.left(), bounds.top() + bounds.height()), true);
        painter.setClipRect(QRectF(QPointF(0, 0), bounds.size()), Qt::IntersectClip);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        const TextBoxLayout layout(contents, font(), alignment(), bounds.size());
        const QColor color = fontColor();
        layout.drawText(painter, color);
        if (!small) layout.drawDecorations(painter, color, isUnderline(), isStrikethrough());
        painter.restore();
    }
    if (small || emphasis == TextBoxEmphasis::none) return;
    QColor accent = QGuiApplication::palette().color(QPalette::Highlight);
    accent.setAlphaF(emphasis == TextBoxEmphasis::selected ? 0.8f : 0.5f);
    painter.save();
    QPen pen(accent);
    pen.setWidthF(1.5);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawRect(bounds.adjusted(-2, -2, 2, 2));
    painter.restore();
}

QTransform pageToDeviceTransform(const PDFPage& page, double scale) {
    const QRectF crop = page.bounds(PDFBox::cropBox);
    const double w = crop.width(), h = crop.height();
    // Page space (y up) to the unrotated crop box, y down, in points.
    const QTransform flip(1, 0, 0, -1, -crop.left(), crop.top() + crop.height());
    QTransform rotate;
    switch (page.rotation()) {
    case 90: rotate = QTransform(0, 1, -1, 0, h, 0); break;
    case 180: rotate = QTransform(-1, 0, 0, -1, w, h); break;
    case 270: rotate = QTransform(0, -1, 1, 0, 0, w); break;
    default: break;
    }
    return flip * rotate * QTransform::fromScale(scale, scale);
}

}  // namespace scrivola
