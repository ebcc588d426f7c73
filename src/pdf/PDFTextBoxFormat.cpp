// The text-format toolbar's side of the text-box tool: the format it shows, and a format change
// applied to new boxes and, as one undo step, to the selected text boxes.

#include "pdf/PDFTextBoxTool.h"

#include "pdf/PDFDocumentContext.h"

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "annotation/TextBoxFont.h"
#include "annotation/TextBoxLayout.h"

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {

// What restyling changes on a box: its format and, when the text outgrew it, its bounds.
struct BoxState {
    TextBoxFormat format;
    QRectF bounds;
};

void store(const PDFAnnotationPtr& box, const BoxState& state) {
    const TextBoxFormat& f = state.format;
    CoreTextFreeTextAnnotation text(box);
    box->setFont(storedFontName(textBoxFont(f.fontName, f.fontSize, f.bold, f.italic)), f.fontSize);
    box->setFontColor(f.fontColor);
    box->setAlignment(toPDFAlignment(f.alignment));
    text.setUnderline(f.underline);
    text.setStrikethrough(f.strikethrough);
    box->setBounds(state.bounds);
    text.refreshAppearance();
}

// `bounds` (page space, y up) grown to the right and downwards so that every line of `text` in
// `format` fits unwrapped; the top-left corner stays. Never shrinks.
QRectF fittingBounds(const QString& text, const TextBoxFormat& format, const QRectF& bounds) {
    const QFont font = embeddableFont(textBoxFont(format.fontName, format.fontSize, format.bold, format.italic));
    const TextBoxLayout layout(text, font, format.alignment, QSizeF(1e6, 1e6));
    double width = 0;
    double height = 0;
    for (const TextBoxLayout::Line& line : layout.lines()) {
        width = std::max(width, line.width);
        height = std::max(height, line.baseline + line.descent);
    }
    width = std::ceil(width + 2 * TextBoxLayout::sidePadding + 1);
    height = std::ceil(height + 2);
    if (width <= bounds.width() && height <= bounds.height()) return bounds;
    const double top = bounds.bottom();  // y up: the rectangle's larger y is the box's top edge
    const double newWidth = std::max(bounds.width(), width);
    const double newHeight = std::max(bounds.height(), height);
    return QRectF(bounds.left(), top - newHeight, newWidth, newHeight);
}

}  // namespace

TextBoxFormat PDFTextBoxTool::format() const {
    return {textFontName_, textFontSize_,      textFontColor_,       textIsBold_, textIsItalic_,
            textIsUnderline_, textIsStrikethrough_, textAlignment_};
}

void PDFTextBoxTool::setFormat(const TextBoxFormat& format) {
    setTextFontName(format.fontName);
    setTextFontSize(format.fontSize);
    setTextFontColor(format.fontColor);
    setTextIsBold(format.bold);
    setTextIsItalic(format.italic);
    setTextIsUnderline(format.underline);
    setTextIsStrikethrough(format.strikethrough);
    setTextAlignment(format.alignment);
}

TextBoxFormat PDFTextBoxTool::formatOf(const PDFAnnotation& annotation) {
    const CoreTextFreeTextAnnotation box(std::const_pointer_cast<PDFAnnotation>(annotation.shared_from_this()));
    const StoredFontName name = parseStoredFontName(annotation.fontName());
    TextBoxFormat format;
    format.fontName = name.family.isEmpty() ? QStringLiteral("Helvetica") : name.family;
    format.fontSize = annotation.fontSize() > 0 ? annotation.fontSize() : box.font().pointSizeF();
    format.fontColor = box.fontColor();
    format.bold = name.bold;
    format.italic = name.italic;
    format.underline = box.isUnderline();
    format.strikethrough = box.isStrikethrough();
    format.alignment = box.alignment();
    return format;
}

std::vector<PDFAnnotationPtr> PDFTextBoxTool::selectedTextBoxes() const {
    std::vector<PDFAnnotationPtr> boxes;
    if (isInlineEditing_) return boxes;
    for (const PDFAnnotationPtr& annotation : selectedAnnotationObjects_)
        if (annotation->page() && CoreTextFreeTextAnnotation::isTextBox(*annotation)) boxes.push_back(annotation);
    return boxes;
}

TextBoxFormat PDFTextBoxTool::shownFormat() const {
    const std::vector<PDFAnnotationPtr> boxes = selectedTextBoxes();
    return boxes.empty() ? format() : formatOf(*boxes.front());
}

void PDFTextBoxTool::applyFormat(const QString& name, const std::function<void(TextBoxFormat&)>& change) {
    // The tool's own format starts from what the toolbar showed, so that the new boxes take the
    // whole format of the selected one (as a format painter would), not just the changed part.
    const std::vector<PDFAnnotationPtr> boxes = selectedTextBoxes();
    TextBoxFormat toolFormat = shownFormat();
    change(toolFormat);
    setFormat(toolFormat);
    if (boxes.empty()) return;

    std::vector<std::pair<PDFAnnotationPtr, BoxState>> before, after;
    for (const PDFAnnotationPtr& box : boxes) {
        BoxState old{formatOf(*box), box->bounds()};
        BoxState changed = old;
        change(changed.format);
        changed.bounds = fittingBounds(box->contents(), changed.format, old.bounds);
        if (changed.format == old.format && changed.bounds == old.bounds) continue;
        before.emplace_back(box, old);
        after.emplace_back(box, changed);
    }
    if (after.empty()) return;
    const auto restyle = [](const std::vector<std::pair<PDFAnnotationPtr, BoxState>>& states) {
        return [states] {
            for (const auto& [box, state] : states) store(box, state);
            return true;
        };
    };
    context_->commitEdit(name, restyle(after), restyle(before));
}

}  // namespace scrivola
