#include "annotation/TextBoxFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QHash>
#include <QRawFont>
#include <QStringList>

#include <cmath>

namespace scrivola {

namespace {

// The kind of face a family stands for, so that a family that is not installed falls back to a
// face of the same kind (a monospaced family to a monospaced face).
QFont::StyleHint styleHintFor(const QString& family) {
    static const QStringList monospace{QStringLiteral("Courier"), QStringLiteral("Courier New"), QStringLiteral("Menlo"),
                                       QStringLiteral("Monaco"), QStringLiteral("Consolas")};
    static const QStringList serif{QStringLiteral("Times New Roman"), QStringLiteral("Times"), QStringLiteral("Georgia"),
                                   QStringLiteral("Palatino"), QStringLiteral("Cambria")};
    if (monospace.contains(family, Qt::CaseInsensitive)) return QFont::Monospace;
    if (serif.contains(family, Qt::CaseInsensitive)) return QFont::Serif;
    return QFont::SansSerif;
}

}  // namespace

QFont textBoxFont(const QString& family, double pointSize, bool bold, bool italic) {
    const double size = (std::isfinite(pointSize) && pointSize > 0) ? pointSize : 12.0;
    QFont font = family.trimmed().isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont) : QFont(family);
    if (!family.trimmed().isEmpty()) font.setStyleHint(styleHintFor(family.trimmed()));
    font.setPointSizeF(size);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    return font;
}

namespace {

bool hasOutlines(const QRawFont& raw) {
    return raw.isValid() && !raw.fontTable("head").isEmpty() &&
           (!raw.fontTable("CFF ").isEmpty() || !raw.fontTable("loca").isEmpty());
}

QString withoutFoundry(const QString& family) {
    const qsizetype bracket = family.indexOf(QLatin1String(" ["));
    return bracket > 0 ? family.left(bracket) : family;
}

}  // namespace

QFont embeddableFont(const QFont& font) {
    static QHash<QString, QString> chosen;  // font key -> family to use (empty: keep)
    const QString key = font.key();
    auto known = chosen.constFind(key);
    if (known != chosen.constEnd()) {
        if (known->isEmpty()) return font;
        QFont substitute = font;
        substitute.setFamily(*known);
        return substitute;
    }
    const QRawFont raw = QRawFont::fromFont(font);
    QString pick;
    if (!hasOutlines(raw)) {
        const QString base = withoutFoundry(QFontInfo(font).family());
        const QString wantedStyle = QFontInfo(font).styleName();
        int best = -1;
        for (const QString& family : QFontDatabase::families()) {
            if (!family.startsWith(base + QLatin1String(" ["))) continue;
            QFont candidate = font;
            candidate.setFamily(family);
            const QRawFont candidateRaw = QRawFont::fromFont(candidate);
            if (!hasOutlines(candidateRaw)) continue;
            // Prefer the variant whose face has the requested style name, slant and weight. The
            // name comes first: some faces report an upright slant for an italic ("Italic" in a
            // foundry that only has italics), which the slant alone would take for the regular face.
            const bool sameName = candidateRaw.styleName().compare(wantedStyle, Qt::CaseInsensitive) == 0;
            const int score = (sameName ? 2000 : 0) + (candidateRaw.style() == raw.style() ? 1000 : 0) -
                              qAbs(candidateRaw.weight() - raw.weight());
            if (score > best) {
                best = score;
                pick = family;
            }
        }
    }
    chosen.insert(key, pick);
    if (pick.isEmpty()) return font;
    QFont substitute = font;
    substitute.setFamily(pick);
    return substitute;
}

QString storedFontName(const QFont& font) {
    QString name = font.family();
    if (name.isEmpty()) name = QStringLiteral("Helvetica");
    const bool bold = font.weight() >= QFont::DemiBold;
    const bool italic = font.italic();
    if (bold && italic) return name + QStringLiteral("-BoldItalic");
    if (bold) return name + QStringLiteral("-Bold");
    if (italic) return name + QStringLiteral("-Italic");
    return name;
}

StoredFontName parseStoredFontName(const QString& name) {
    StoredFontName result;
    QString family = name.trimmed();
    // A subset tag ("ABCDEF+Name") is not part of the family.
    if (family.size() > 7 && family.at(6) == QLatin1Char('+')) family = family.mid(7);
    const qsizetype dash = family.lastIndexOf(QLatin1Char('-'));
    if (dash > 0) {
        const QString suffix = family.mid(dash + 1);
        bool known = true;
        if (suffix == QLatin1String("BoldItalic") || suffix == QLatin1String("BoldOblique")) {
            result.bold = result.italic = true;
        } else if (suffix == QLatin1String("Bold")) {
            result.bold = true;
        } else if (suffix == QLatin1String("Italic") || suffix == QLatin1String("Oblique")) {
            result.italic = true;
        } else if (suffix != QLatin1String("Roman") && suffix != QLatin1String("Regular")) {
            known = false;
        }
        if (known) family = family.left(dash);
    }
    // PostScript names of the standard fonts name their families differently.
    if (family == QLatin1String("Times")) family = QStringLiteral("Times New Roman");
    result.family = family;
    return result;
}

QFont fontFromStoredName(const QString& name, double pointSize) {
    if (name.trimmed().isEmpty() || !(pointSize > 0) || !std::isfinite(pointSize)) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPointSizeF(12);
        return font;
    }
    const StoredFontName parsed = parseStoredFontName(name);
    return textBoxFont(parsed.family, pointSize, parsed.bold, parsed.italic);
}

}  // namespace scrivola
