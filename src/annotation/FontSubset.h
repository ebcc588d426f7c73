#pragma once

// Font programs for embedding: the sfnt of a QRawFont cut down to the glyphs a text uses.

#include <QByteArray>
#include <QRawFont>

#include <map>
#include <set>

namespace scrivola {

struct FontSubset {
    QByteArray program;           // the subset sfnt; empty when the font cannot be embedded
    bool isCFF = false;           // OpenType with CFF outlines (else TrueType outlines)
    std::map<quint32, int> glyphMap;  // glyph index in the source font -> index in `program`
};

// Subsets `font` to `glyphs`. TrueType fonts are renumbered densely; CFF fonts keep their glyph
// indexes, so a CID-keyed font's CIDs stay equal to its glyph indexes. Fonts without glyph
// outlines of either kind (bitmap, colour or variable CFF2 fonts) give an empty program.
// Recent results are cached (main thread only).
FontSubset subsetFont(const QRawFont& font, const std::set<quint32>& glyphs);

}  // namespace scrivola
