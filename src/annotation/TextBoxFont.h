#pragma once

// Fonts of text boxes: how the text tool's family, size and traits become a QFont, and how a
// font is named in a stored annotation (/DA) so that family and traits come back on reopening.

#include <QFont>
#include <QString>

namespace scrivola {

// The font of `family` at `pointSize` with the given traits. A family the font database does
// not know is still requested by name (the system substitutes a similar face); an empty family
// gives the system font at that size.
QFont textBoxFont(const QString& family, double pointSize, bool bold, bool italic);

// The name stored in /DA for `font`: the family with a "-Bold", "-Italic" or "-BoldItalic"
// suffix when it has those traits ("Helvetica", "Times New Roman-BoldItalic").
QString storedFontName(const QFont& font);

// Family and traits of a stored font name. Understands our own suffixes and the PostScript
// forms of the standard fonts ("Helvetica-Oblique", "Times-BoldItalic", "Courier-Bold").
struct StoredFontName {
    QString family;
    bool bold = false;
    bool italic = false;
};
StoredFontName parseStoredFontName(const QString& name);

// `font`, or the same font from another foundry of its family when the face the system picked
// cannot be embedded in a PDF (a Type 1 face has no sfnt tables to subset): the layout of a
// text box uses it, so that what is drawn on screen is what its appearance stream embeds.
QFont embeddableFont(const QFont& font);

// The font of a stored name at `pointSize`; the system font at 12 points when the name is empty
// or the size is not positive.
QFont fontFromStoredName(const QString& name, double pointSize);

}  // namespace scrivola
