#pragma once

// The system's text box: a standard FreeText annotation of the engine that carries two private
// boolean entries, "/ScrivolaUL" (underline) and "/ScrivolaST" (strikethrough), and is drawn by
// the system with QTextLayout.
//
// The engine's annotation objects cannot be subclassed, so a CoreTextFreeTextAnnotation is a thin
// handle over one: its identity is the engine annotation (selections, undo records and views
// keep PDFAnnotationPtr / const PDFAnnotation*), and the flags live in the annotation's own
// dictionary, so they travel with it through removal, undo and saving.

#include "pdf/engine/PDFEngine.h"

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

namespace scrivola {

// The border a box is drawn with: none, the selection's, or the fainter one of a box that a
// rubber band is about to select. Each view decides it for its own boxes and passes it in.
enum class TextBoxEmphasis { none, selected, preview };

class CoreTextFreeTextAnnotation {
public:
    static const QString underlineKey;      // "/ScrivolaUL"
    static const QString strikethroughKey;  // "/ScrivolaST"

    // The stored form of a new text box.
    struct Properties {
        QString contents;  // as typed, not trimmed
        QFont font;
        QColor fontColor = Qt::black;
        Qt::Alignment alignment = Qt::AlignLeft;
        bool isUnderline = false;
        bool isStrikethrough = false;
    };

    // A new FreeText annotation on no page, in the stored form: contents, font, font colour,
    // clear background, alignment, border width 0 and both flags. Its appearance stream is
    // written when it is added to a page (or call refreshAppearance()).
    static CoreTextFreeTextAnnotation create(const QRectF& bounds, const Properties& properties);

    // True for a FreeText annotation that carries either private key: one of our text boxes.
    static bool isTextBox(const PDFAnnotation& annotation);
    // True for any free-text annotation (ours or another program's).
    static bool isFreeText(const PDFAnnotation& annotation);

    CoreTextFreeTextAnnotation() = default;
    explicit CoreTextFreeTextAnnotation(PDFAnnotationPtr annotation) : annotation_(std::move(annotation)) {}

    const PDFAnnotationPtr& annotation() const { return annotation_; }
    bool isNull() const { return !annotation_; }
    const PDFAnnotation* identity() const { return annotation_.get(); }

    // Flags from the dictionary (absent means false).
    bool isUnderline() const;
    bool isStrikethrough() const;
    void setUnderline(bool value);
    void setStrikethrough(bool value);

    // Font of the box at its stored size (the system font at 12 points when it has none),
    // text colour (black when absent) and alignment.
    QFont font() const;
    QColor fontColor() const;
    Qt::Alignment alignment() const;

    // Rewrites the box's normal appearance stream from its current contents, bounds, font,
    // colour, alignment and flags (fonts embedded). Call after every change of those.
    void refreshAppearance() const;

    // Draws the box. The painter's transform must map page space (PDF points, origin at the
    // media box's bottom-left, y up) to the device, e.g. for an image of the page rendered at
    // `scale` with rotation r: pageToDeviceTransform(page, scale). Below a drawing scale of 0.5
    // (thumbnails) only the text is drawn, without decorations or border.
    void draw(QPainter& painter, TextBoxEmphasis emphasis = TextBoxEmphasis::none) const;

private:
    PDFAnnotationPtr annotation_;
};

// The transform from page space (y up) to the pixels of page.render(scale): crop box origin,
// rotation and the flip to y down.
QTransform pageToDeviceTransform(const PDFPage& page, double scale);

Qt::Alignment toQtAlignment(PDFAnnotation::Alignment alignment);
PDFAnnotation::Alignment toPDFAlignment(Qt::Alignment alignment);

}  // namespace scrivola
