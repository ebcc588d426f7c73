#pragma once

// The normal appearance stream of a text box, laid out with the same TextBoxLayout as the
// on-screen drawing: glyphs of embedded font subsets (one composite font per face used,
// fallback faces included), with ToUnicode maps so that text extraction works, and the
// underline and strikethrough lines as paths.

#include "pdf/engine/PDFAppearance.h"

#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>

namespace scrivola {

struct TextBoxStyle {
    QFont font;
    QColor color = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft;
    bool underline = false;
    bool strikethrough = false;
};

PDFAppearanceStream buildTextBoxAppearance(const QString& text, const TextBoxStyle& style, const QSizeF& boxSize);

// Writes the appearance of a text box from the annotation's own contents, bounds, font, colour,
// alignment and flags.
void writeTextBoxAppearance(PDFAnnotation& annotation);

// Makes the engine use writeTextBoxAppearance for the system's text boxes whenever it would
// otherwise synthesise an appearance of its own (idempotent).
void installTextBoxAppearanceWriter();

}  // namespace scrivola
