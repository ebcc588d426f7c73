#pragma once

#include <QColor>
#include "pdf/PDFDocumentContext.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class QHBoxLayout;

namespace scrivola {

class IconButton;
class PDFDocumentContext;
struct TextBoxFormat;

// The text-format toolbar under a PDF's toolbar, shown only while text-annotation mode is on:
// the Select and Add Text buttons, the font, size and colour menus, bold, italic, underline and
// strikethrough, the three alignments, the bullet list (for the box being typed) and a button
// that opens the annotations sidebar. It shows the format of the selected text box (or of new
// boxes) and writes through the context's text tool, which restyles the selected boxes with
// undo. Controls have object names ("font", "size", "color", "bold", "alignCenter", ...).
class TextFormatToolbar : public QWidget {
    Q_OBJECT
public:
    // Asks for a colour starting from `initial`; an invalid colour means cancelled.
    using ColorChooser = std::function<QColor(const QColor& initial, QWidget* parent)>;

    explicit TextFormatToolbar(PDFDocumentContext* context, QWidget* parent = nullptr);

    IconButton* control(const QString& name) const;
    // Replaces the colour panel (tests answer it themselves).
    void setColorChooser(ColorChooser chooser) { colorChooser_ = std::move(chooser); }
    // Opens the colour panel preset to the shown colour and applies the choice.
    void chooseOtherColor();

    static const QStringList& fontFamilies();
    static const std::vector<double>& fontSizes();
    // The preset colours with their names, in menu order.
    static const std::vector<std::pair<QString, QColor>>& presetColors();

private:
    IconButton* addButton(const QString& name, const QString& symbol, const QString& toolTip,
                          const std::function<void()>& action);
    void apply(const QString& undoName, const std::function<void(TextBoxFormat&)>& change);
    void refresh();

    QPointer<PDFDocumentContext> context_;
    QHBoxLayout* layout_ = nullptr;
    ColorChooser colorChooser_;
    std::vector<std::function<void()>> updaters_;
};

}  // namespace scrivola
