#include "annotation/TextBoxAppearance.h"

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "annotation/FontSubset.h"
#include "annotation/TextBoxLayout.h"

#include <QCryptographicHash>
#include <QGlyphRun>
#include <QLineF>
#include <QPainterPath>
#include <QRawFont>

#include <cmath>
#include <map>
#include <set>

namespace scrivola {

namespace {

QByteArray num(double value) {
    if (!std::isfinite(value)) value = 0;
    if (std::abs(value) < 0.0005) value = 0;
    QByteArray s = QByteArray::number(value, 'f', 3);
    while (s.endsWith('0')) s.chop(1);
    if (s.endsWith('.')) s.chop(1);
    return s.isEmpty() || s == "-0" ? QByteArray("0") : s;
}

QByteArray hex4(int value) { return QByteArray::number(value & 0xffff, 16).rightJustified(4, '0').toUpper(); }

QString fontKey(const QRawFont& font) {
    return font.familyName() + QLatin1Char('|') + font.styleName() + QLatin1Char('|') + QString::number(font.weight()) +
           QLatin1Char('|') + QString::number(int(font.style()));
}

// One face used by the text, with the glyphs drawn in it and what they stand for.
struct UsedFont {
    QRawFont font;
    std::set<quint32> glyphs;
    std::map<quint32, QString> text;
};

// A run of glyphs of one face on one baseline.
struct PlacedRun {
    int font = 0;
    double size = 0;
    std::vector<quint32> glyphs;
    std::vector<QPointF> positions;  // box-local, y down
};

QByteArray postScriptName(const QRawFont& font, const QByteArray& subsetSeed) {
    QByteArray name;
    for (QChar c : font.familyName() + font.styleName()) {
        const ushort u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-') name += char(u);
    }
    if (name.isEmpty()) name = "Font";
    // A subset tag: six capital letters derived from the subset's contents.
    const QByteArray hash = QCryptographicHash::hash(subsetSeed, QCryptographicHash::Sha1);
    QByteArray tag;
    for (int i = 0; i < 6; ++i) tag += char('A' + (quint8(hash[i]) % 26));
    return tag + '+' + name;
}

// Maps each glyph to the characters it was shaped from, character by character, so that
// ligatures and fallback faces are covered.
void collectGlyphText(const TextBoxLayout& layout, int lineIndex, std::vector<UsedFont>& fonts,
                      std::map<QString, int>& fontIndex) {
    const TextBoxLayout::Line& line = layout.lines()[size_t(lineIndex)];
    const QString& text = layout.text();
    quint32 lastGlyph = 0;
    int lastFont = -1;
    QPointF lastPosition;
    for (int i = line.start; i < line.start + line.length;) {
        const int length = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString piece = text.mid(i, length);
        if (piece.at(0) != QChar::LineSeparator) {
            for (const QGlyphRun& run : layout.glyphRuns(lineIndex, i, length)) {
                const QString key = fontKey(run.rawFont());
                auto found = fontIndex.find(key);
                if (found == fontIndex.end()) continue;
                UsedFont& used = fonts[size_t(found->second)];
                const QList<quint32> glyphs = run.glyphIndexes();
                const QList<QPointF> positions = run.positions();
                for (qsizetype k = 0; k < glyphs.size() && k < positions.size(); ++k) {
                    const quint32 glyph = glyphs[k];
                    auto known = used.text.find(glyph);
                    // The same glyph at the same place again: one glyph for several characters.
                    const bool sameGlyph = found->second == lastFont && glyph == lastGlyph &&
                                           QLineF(positions[k], lastPosition).length() < 0.01;
                    if (known == used.text.end()) used.text[glyph] = piece;
                    else if (sameGlyph) known->second += piece;
                    lastGlyph = glyph;
                    lastFont = found->second;
                    lastPosition = positions[k];
                }
            }
        }
        i += length;
    }
}

void appendPath(QByteArray& out, const QPainterPath& path) {
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            out += num(e.x) + ' ' + num(e.y) + " m\n";
        } else if (e.isLineTo()) {
            out += num(e.x) + ' ' + num(e.y) + " l\n";
        } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            out += num(e.x) + ' ' + num(e.y) + ' ' + num(c2.x) + ' ' + num(c2.y) + ' ' + num(end.x) + ' ' + num(end.y) +
                   " c\n";
            i += 2;
        }
    }
}

}  // namespace

PDFAppearanceStream buildTextBoxAppearance(const QString& text, const TextBoxStyle& style, const QSizeF& boxSize) {
    PDFAppearanceStream stream;
    stream.size = QSizeF(std::max(0.0, boxSize.width()), std::max(0.0, boxSize.height()));
    const double h = stream.size.height();
    const QColor color = (style.color.isValid() ? style.color : QColor(Qt::black)).toRgb();
    const QByteArray rgb = num(color.redF()) + ' ' + num(color.greenF()) + ' ' + num(color.blueF());

    QByteArray& out = stream.content;
    out += "q\n0 0 " + num(stream.size.width()) + ' ' + num(h) + " re W n\n";
    if (text.isEmpty()) {
        out += "Q\n";
        return stream;
    }

    const TextBoxLayout layout(text, style.font, style.alignment, stream.size);
    std::vector<UsedFont> fonts;
    std::map<QString, int> fontIndex;
    std::vector<PlacedRun> runs;
    for (int i = 0; i < int(layout.lines().size()); ++i) {
        for (const QGlyphRun& run : layout.glyphRuns(i)) {
            const QRawFont raw = run.rawFont();
            const QString key = fontKey(raw);
            auto found = fontIndex.find(key);
            if (found == fontIndex.end()) {
                found = fontIndex.emplace(key, int(fonts.size())).first;
                fonts.push_back(UsedFont{raw, {}, {}});
            }
            PlacedRun placed;
            placed.font = found->second;
            placed.size = raw.pixelSize();
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype k = 0; k < glyphs.size() && k < positions.size(); ++k) {
                placed.glyphs.push_back(glyphs[k]);
                placed.positions.push_back(positions[k]);
                fonts[size_t(placed.font)].glyphs.insert(glyphs[k]);
            }
            if (!placed.glyphs.empty()) runs.push_back(std::move(placed));
        }
        collectGlyphText(layout, i, fonts, fontIndex);
    }

    // Embed a subset of every face; a face that cannot be embedded is drawn as outlines.
    std::vector<FontSubset> subsets;
    std::vector<int> resourceIndex(fonts.size(), -1);
    std::vector<std::map<quint32, double>> widths(fonts.size());
    for (size_t f = 0; f < fonts.size(); ++f) {
        const UsedFont& used = fonts[f];
        FontSubset subset = subsetFont(used.font, used.glyphs);
        const QList<quint32> glyphList(used.glyphs.begin(), used.glyphs.end());
        const QList<QPointF> advances = used.font.advancesForGlyphIndexes(glyphList, QRawFont::UseDesignMetrics);
        const double pixelSize = used.font.pixelSize() > 0 ? used.font.pixelSize() : 1.0;
        for (qsizetype k = 0; k < glyphList.size() && k < advances.size(); ++k)
            widths[f][glyphList[k]] = advances[k].x() / pixelSize * 1000.0;
        if (!subset.program.isEmpty()) {
            PDFEmbeddedFont embedded;
            QByteArray seed = subset.program.left(4096);
            for (quint32 g : used.glyphs) seed += QByteArray::number(g) + ',';
            embedded.baseFont = postScriptName(used.font, seed);
            embedded.program = subset.program;
            embedded.isCFF = subset.isCFF;
            for (const auto& [glyph, width] : widths[f]) {
                auto mapped = subset.glyphMap.find(glyph);
                if (mapped != subset.glyphMap.end()) embedded.widths.emplace_back(mapped->second, width);
            }
            for (const auto& [glyph, chars] : used.text) {
                auto mapped = subset.glyphMap.find(glyph);
                if (mapped != subset.glyphMap.end()) embedded.toUnicode.emplace_back(mapped->second, chars);
            }
            const double em = pixelSize;
            embedded.ascent = used.font.ascent() / em * 1000.0;
            embedded.descent = -used.font.descent() / em * 1000.0;
            embedded.capHeight = used.font.capHeight() / em * 1000.0;
            embedded.bbox = QRectF(0, embedded.descent, used.font.maxCharWidth() / em * 1000.0,
                                   embedded.ascent - embedded.descent);
            embedded.italic = used.font.style() != QFont::StyleNormal;
            resourceIndex[f] = int(stream.fonts.size());
            stream.fonts.push_back(std::move(embedded));
        }
        subsets.push_back(std::move(subset));
    }

    out += rgb + " rg\n";
    for (const PlacedRun& run : runs) {
        const int resource = resourceIndex[size_t(run.font)];
        if (resource < 0) {
            // Outlines: the face offers no font program to embed.
            const QRawFont& raw = fonts[size_t(run.font)].font;
            for (size_t k = 0; k < run.glyphs.size(); ++k) {
                QPainterPath path = raw.pathForGlyph(run.glyphs[k]);
                if (path.isEmpty()) continue;
                const QPointF p = run.positions[k];
                path = QTransform(1, 0, 0, -1, p.x(), h - p.y()).map(path);
                appendPath(out, path);
                out += "f\n";
            }
            continue;
        }
        const FontSubset& subset = subsets[size_t(run.font)];
        const auto& fontWidths = widths[size_t(run.font)];
        const double size = run.size > 0 ? run.size : 12;
        out += "BT\n/F" + QByteArray::number(resource) + ' ' + num(size) + " Tf\n";
        bool open = false;
        double penX = 0, penY = 0;
        for (size_t k = 0; k < run.glyphs.size(); ++k) {
            auto mapped = subset.glyphMap.find(run.glyphs[k]);
            if (mapped == subset.glyphMap.end()) continue;
            const double x = run.positions[k].x();
            const double y = h - run.positions[k].y();
            if (!open || std::abs(y - penY) > 0.001) {
                if (open) out += "] TJ\n";
                out += "1 0 0 1 " + num(x) + ' ' + num(y) + " Tm [";
                open = true;
                penY = y;
            } else if (std::abs(x - penX) > 0.001) {
                out += num((penX - x) * 1000.0 / size) + ' ';
            }
            out += '<' + hex4(mapped->second) + '>';
            auto w = fontWidths.find(run.glyphs[k]);
            penX = x + (w != fontWidths.end() ? w->second : 0) * size / 1000.0;
        }
        if (open) out += "] TJ\n";
        out += "ET\n";
    }

    if (style.underline || style.strikethrough) {
        out += rgb + " RG\n" + num(layout.decorationWidth()) + " w 0 J\n";
        auto stroke = [&](const std::vector<QLineF>& lines) {
            for (const QLineF& l : lines)
                out += num(l.x1()) + ' ' + num(h - l.y1()) + " m " + num(l.x2()) + ' ' + num(h - l.y2()) + " l S\n";
        };
        if (style.underline) stroke(layout.underlines());
        if (style.strikethrough) stroke(layout.strikethroughs());
    }
    out += "Q\n";
    return stream;
}

void writeTextBoxAppearance(PDFAnnotation& annotation) {
    const CoreTextFreeTextAnnotation box(annotation.shared_from_this());
    TextBoxStyle style;
    style.font = box.font();
    style.color = box.fontColor();
    style.alignment = box.alignment();
    style.underline = box.isUnderline();
    style.strikethrough = box.isStrikethrough();
    const PDFAppearanceStream stream = buildTextBoxAppearance(annotation.contents(), style, annotation.bounds().size());
    PDFAppearance::setNormalAppearance(annotation, stream);
}

void installTextBoxAppearanceWriter() {
    if (PDFAppearance::customWriter()) return;
    PDFAppearance::setCustomWriter([](PDFAnnotation& annotation) {
        if (!CoreTextFreeTextAnnotation::isTextBox(annotation)) return false;
        writeTextBoxAppearance(annotation);
        return true;
    });
}

}  // namespace scrivola
