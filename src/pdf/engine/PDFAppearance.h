#pragma once

// Custom appearance streams for annotations: a form drawn by the caller's own content stream,
// with font programs embedded as composite fonts (Type0, Identity-H, ToUnicode), so that every
// PDF reader shows and extracts the text exactly as the caller laid it out.

#include "pdf/engine/PDFEngine.h"

#include <QByteArray>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace scrivola {

// A font program embedded as a CIDFont with Identity-H encoding: a two-byte code in the
// content stream is the glyph index in `program` (CIDToGIDMap /Identity).
struct PDFEmbeddedFont {
    QByteArray baseFont;     // PostScript name, subset tag included ("ABCDEF+DejaVuSans")
    QByteArray program;      // an sfnt: TrueType outlines (FontFile2) or OpenType CFF (FontFile3)
    bool isCFF = false;
    std::vector<std::pair<int, double>> widths;      // glyph -> advance in 1/1000 em
    std::vector<std::pair<int, QString>> toUnicode;  // glyph -> the text it stands for
    QRectF bbox{0, -200, 1000, 1000};                // 1/1000 em
    double ascent = 800;
    double descent = -200;
    double capHeight = 700;
    double italicAngle = 0;
    bool fixedPitch = false;
    bool serif = false;
    bool italic = false;
};

struct PDFAppearanceStream {
    QSizeF size;         // the form's box (0, 0, width, height), mapped onto the annotation's bounds
    QByteArray content;  // PDF content operators; fonts are /F0, /F1, ... in the order of `fonts`
    std::vector<PDFEmbeddedFont> fonts;
};

namespace PDFAppearance {

// Replaces the annotation's normal appearance (/AP /N) by `stream`. The engine will not
// resynthesise it until the annotation's properties change again.
void setNormalAppearance(PDFAnnotation& annotation, const PDFAppearanceStream& stream);

// True when the annotation has a normal appearance stream.
bool hasNormalAppearance(const PDFAnnotation& annotation);

// True when the annotation dictionary holds a boolean object under `key` (without the slash
// or with it).
bool isBooleanEntry(const PDFAnnotation& annotation, const QString& key);

// True when the page dictionary lists any annotation (cheap: reads /Annots only).
bool pageHasAnnotations(const PDFPage& page);

// A writer that draws appearances the engine cannot (e.g. the system's text boxes). When set,
// every appearance refresh of the engine first asks it; a writer returning true has written
// the appearance itself and the engine's own synthesis is skipped.
using CustomWriter = std::function<bool(PDFAnnotation&)>;
void setCustomWriter(CustomWriter writer);
const CustomWriter& customWriter();

}  // namespace PDFAppearance

// The ToUnicode CMap of a composite font with two-byte codes.
QByteArray toUnicodeCMap(const std::vector<std::pair<int, QString>>& mapping);

}  // namespace scrivola
