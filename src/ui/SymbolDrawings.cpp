// The line drawings of the interface's symbols on a 16 × 16 grid (y down). Each drawing adds
// lines to be stroked and areas to be filled; a name ending in ".fill" is a filled disc with its
// mark cut out of it.

#include "ui/SymbolDrawings.h"

#include <QFont>
#include <QPainterPathStroker>
#include <QTransform>

#include <functional>
#include <initializer_list>

namespace scrivola {
namespace {

struct Builder {
    SymbolShape& s;
    Builder& line(double x1, double y1, double x2, double y2) {
        s.stroke.moveTo(x1, y1);
        s.stroke.lineTo(x2, y2);
        return *this;
    }
    Builder& poly(std::initializer_list<QPointF> points, bool closed = false) {
        QPolygonF polygon(points);
        if (closed) polygon << polygon.first();
        s.stroke.addPolygon(polygon);
        return *this;
    }
    Builder& rect(double x, double y, double w, double h, double r = 1.5) {
        s.stroke.addRoundedRect(QRectF(x, y, w, h), r, r);
        return *this;
    }
    Builder& circle(double cx, double cy, double r) {
        s.stroke.addEllipse(QPointF(cx, cy), r, r);
        return *this;
    }
    Builder& dot(double cx, double cy, double r = 1.0) {
        s.fill.addEllipse(QPointF(cx, cy), r, r);
        return *this;
    }
    Builder& path(const QPainterPath& p) {
        s.stroke.addPath(p);
        return *this;
    }
    // A letter filled in the symbol's colour, centred on the grid.
    Builder& letter(const QString& text, bool bold, bool italic) {
        QFont font(QStringLiteral("Sans Serif"));
        font.setPixelSize(13);
        font.setBold(bold);
        font.setItalic(italic);
        QPainterPath glyph;
        glyph.addText(0, 0, font, text);
        const QRectF box = glyph.boundingRect();
        s.fill.addPath(glyph.translated(8 - box.center().x(), 7.5 - box.center().y()));
        return *this;
    }
    // A document with a folded corner, `right` and `bottom` its extent.
    Builder& document(double left = 3.5, double right = 12.5, double bottom = 14.5) {
        return poly({{left, 1.5}, {right - 3.5, 1.5}, {right, 5}, {right, bottom}, {left, bottom}}, true)
            .poly({{right - 3.5, 1.5}, {right - 3.5, 5}, {right, 5}});
    }
    Builder& magnifier() { return circle(7, 7, 4.5).line(10.3, 10.3, 14, 14); }
    Builder& tray() { return poly({{5, 6}, {2.5, 6}, {2.5, 14}, {13.5, 14}, {13.5, 6}, {11, 6}}); }
    Builder& arrowDown(double x, double top, double bottom) {
        return line(x, top, x, bottom).poly({{x - 2.5, bottom - 2.5}, {x, bottom}, {x + 2.5, bottom - 2.5}});
    }
    Builder& arrowUp(double x, double top, double bottom) {
        return line(x, bottom, x, top).poly({{x - 2.5, top + 2.5}, {x, top}, {x + 2.5, top + 2.5}});
    }
    Builder& textLines(std::initializer_list<std::pair<double, double>> spans) {
        double y = 3.5;
        for (const auto& [x1, x2] : spans) {
            line(x1, y, x2, y);
            y += 3;
        }
        return *this;
    }
};

using Drawing = std::function<void(Builder&)>;

Drawing mirrored(Drawing drawing) {
    return [drawing](Builder& b) {
        SymbolShape shape;
        Builder inner{shape};
        drawing(inner);
        const QTransform flip(-1, 0, 0, 1, 16, 0);
        b.s.stroke.addPath(flip.map(shape.stroke));
        b.s.fill.addPath(flip.map(shape.fill));
    };
}

QPainterPath roundedPath(const QRectF& r, double radius) {
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}

const std::vector<std::pair<QString, Drawing>>& drawingList() {
    static const std::vector<std::pair<QString, Drawing>> list = {
        // Tabs, panes and windows
        {"chevron.down", [](Builder& b) { b.poly({{4, 6}, {8, 10}, {12, 6}}); }},
        {"chevron.left", [](Builder& b) { b.poly({{10, 4}, {6, 8}, {10, 12}}); }},
        {"chevron.right", [](Builder& b) { b.poly({{6, 4}, {10, 8}, {6, 12}}); }},
        {"plus", [](Builder& b) { b.line(8, 3, 8, 13).line(3, 8, 13, 8); }},
        {"xmark", [](Builder& b) { b.line(4, 4, 12, 12).line(12, 4, 4, 12); }},
        {"checkmark", [](Builder& b) { b.poly({{3.5, 8.5}, {6.5, 11.5}, {12.5, 4.5}}); }},
        {"circle", [](Builder& b) { b.circle(8, 8, 5.5); }},
        {"rectangle", [](Builder& b) { b.rect(1.5, 3, 13, 10); }},
        {"rectangle.split.2x1", [](Builder& b) { b.rect(1.5, 3, 13, 10).line(8, 3, 8, 13); }},
        {"rectangle.split.1x2", [](Builder& b) { b.rect(2.5, 2, 11, 12).line(2.5, 8, 13.5, 8); }},
        {"rectangle.portrait", [](Builder& b) { b.rect(4, 1.5, 8, 13); }},
        {"doc", [](Builder& b) { b.document(); }},
        {"doc.richtext", [](Builder& b) { b.document().line(6, 8, 10, 8).line(6, 10.5, 10, 10.5).line(6, 5.5, 7.5, 5.5); }},
        {"doc.badge.plus", [](Builder& b) { b.document(2.5, 10.5, 13).line(12.5, 9, 12.5, 15).line(9.5, 12, 15.5, 12); }},
        {"arrow.down.doc", [](Builder& b) { b.document().arrowDown(8, 6, 12); }},
        {"photo", [](Builder& b) {
             b.rect(1.5, 3, 13, 10).circle(5.5, 6.5, 1.3).poly({{2, 12}, {6.5, 8.5}, {9, 10.5}, {11, 9}, {14, 11.5}});
         }},
        {"photo.stack", [](Builder& b) {
             b.poly({{3.5, 3}, {3.5, 1.5}, {14.5, 1.5}, {14.5, 10}, {13, 10}})
                 .rect(1.5, 4, 11, 10).circle(5, 7.2, 1.1).poly({{2, 13}, {5.5, 10}, {7.5, 11.5}, {9, 10.5}, {12, 13}});
         }},
        {"arrow.right", [](Builder& b) { b.line(3, 8, 13, 8).poly({{9, 4}, {13, 8}, {9, 12}}); }},
        {"magnifyingglass", [](Builder& b) { b.magnifier(); }},
        {"minus.magnifyingglass", [](Builder& b) { b.magnifier().line(5, 7, 9, 7); }},
        {"plus.magnifyingglass", [](Builder& b) { b.magnifier().line(5, 7, 9, 7).line(7, 5, 7, 9); }},
        // Welcome and title bar
        {"highlighter", [](Builder& b) {
             b.poly({{10, 1.5}, {14.5, 6}, {8.5, 12}, {4, 7.5}}, true).poly({{5, 8.5}, {2.5, 13.5}, {7.5, 11}}).line(1.5, 14.5, 6, 14.5);
         }},
        {"lock.shield", [](Builder& b) {
             QPainterPath shield(QPointF(8, 1.5));
             shield.lineTo(13.5, 3.5);
             shield.lineTo(13.5, 8);
             shield.cubicTo(13.5, 11.5, 11, 13.5, 8, 14.8);
             shield.cubicTo(5, 13.5, 2.5, 11.5, 2.5, 8);
             shield.lineTo(2.5, 3.5);
             shield.closeSubpath();
             QPainterPath shackle;
             shackle.moveTo(6.5, 8);
             shackle.arcTo(QRectF(6.5, 4.8, 3, 3.5), 180, -180);
             shackle.lineTo(9.5, 8);
             b.path(shield).path(shackle).rect(5.5, 8, 5, 3.5, 0.8);
         }},
        {"lock", [](Builder& b) {
             QPainterPath shackle;
             shackle.moveTo(5, 7);
             shackle.arcTo(QRectF(5, 2, 6, 7), 180, -180);
             shackle.lineTo(11, 7);
             b.path(shackle).rect(3, 7, 10, 7.5);
         }},
        {"info.circle", [](Builder& b) { b.circle(8, 8, 6.5).line(8, 7.5, 8, 11.5).dot(8, 5, 0.9); }},
        {"bubble.left", [](Builder& b) {
             QPainterPath bubble = roundedPath(QRectF(1.5, 2, 13, 9.5), 3);
             QPainterPath tail;
             tail.addPolygon(QPolygonF({{4, 10}, {3, 14.5}, {8, 11}, {4, 10}}));
             bubble = bubble.united(tail);
             b.path(bubble.simplified());
         }},
        {"keyboard", [](Builder& b) {
             b.rect(1, 4, 14, 8.5).line(5, 10, 11, 10);
             for (double x : {4.0, 6.7, 9.3, 12.0}) b.dot(x, 6.8, 0.7);
         }},
        {"exclamationmark.triangle", [](Builder& b) {
             b.poly({{8, 2}, {14.5, 13.5}, {1.5, 13.5}}, true).line(8, 6, 8, 9.5).dot(8, 11.5, 0.8);
         }},
        // Toolbar
        {"square.and.arrow.down", [](Builder& b) { b.tray().arrowDown(8, 1.5, 10); }},
        {"square.and.arrow.up", [](Builder& b) { b.tray().arrowUp(8, 1.5, 10); }},
        {"square.and.arrow.down.on.square", [](Builder& b) {
             b.poly({{9.5, 4}, {14.5, 4}, {14.5, 12}, {12.5, 12}})
                 .poly({{4, 6.5}, {1.5, 6.5}, {1.5, 14.5}, {11, 14.5}, {11, 6.5}, {8.5, 6.5}})
                 .arrowDown(6.25, 2, 11);
         }},
        {"arrow.uturn.backward", [](Builder& b) {
             QPainterPath p(QPointF(3, 5.5));
             p.lineTo(10, 5.5);
             p.cubicTo(12.7, 5.5, 13.8, 7.4, 13.8, 9.25);
             p.cubicTo(13.8, 11.1, 12.7, 13, 10, 13);
             p.lineTo(6.5, 13);
             b.path(p).poly({{6, 2.5}, {3, 5.5}, {6, 8.5}});
         }},
        {"rotate.left", [](Builder& b) {
             QPainterPath p;
             p.arcMoveTo(QRectF(3, 3.5, 10, 10), 270);
             p.arcTo(QRectF(3, 3.5, 10, 10), 270, 270);
             b.path(p).poly({{1, 6.5}, {3, 8.7}, {5, 6.5}});
         }},
        {"character.textbox", [](Builder& b) {
             b.rect(1.5, 2.5, 13, 11, 2).poly({{5, 11}, {8, 4.5}, {11, 11}}).line(6.2, 8.6, 9.8, 8.6);
         }},
        {"sidebar.left", [](Builder& b) { b.rect(1.5, 2.5, 13, 11, 2).line(6, 2.5, 6, 13.5).line(3, 5, 4.5, 5).line(3, 7, 4.5, 7); }},
        {"rectangle.compress.vertical", [](Builder& b) {
             b.line(2, 8, 14, 8).arrowDown(8, 1.5, 5.5).arrowUp(8, 10.5, 14.5);
         }},
        {"printer", [](Builder& b) {
             b.poly({{4.5, 6}, {4.5, 1.5}, {11.5, 1.5}, {11.5, 6}})
                 .path(roundedPath(QRectF(1.5, 6, 13, 6.5), 1.5).subtracted(roundedPath(QRectF(4.5, 9.5, 7, 5), 0)))
                 .rect(4.5, 9.5, 7, 5, 0).dot(12, 8, 0.6);
         }},
        {"signature", [](Builder& b) {
             QPainterPath p(QPointF(2, 11));
             p.cubicTo(4, 3, 7, 3, 5.5, 9);
             p.cubicTo(4.8, 12.5, 8, 6, 9.5, 8);
             p.cubicTo(10.5, 9.5, 11.5, 10, 14, 7.5);
             b.path(p).line(2, 13.5, 14, 13.5);
         }},
        {"eraser", [](Builder& b) {
             b.poly({{9.5, 2}, {14.5, 7}, {8.5, 13}, {3.5, 8}}, true).line(6.5, 5, 11.5, 10).line(8.5, 14.5, 14.5, 14.5);
         }},
        {"hand.raised", [](Builder& b) {
             QPainterPath palm(QPointF(4.8, 8.5));
             palm.lineTo(4.8, 11);
             palm.cubicTo(4.8, 13.2, 6.3, 14.6, 8.4, 14.6);
             palm.cubicTo(10.5, 14.6, 11.9, 13.2, 11.9, 11);
             palm.lineTo(11.9, 5.5);
             b.path(palm).line(4.8, 9, 4.8, 4.5).line(7.2, 8.5, 7.2, 2.5).line(9.6, 8.5, 9.6, 3).line(4.8, 10.8, 2.6, 8.6);
         }},
        {"character.cursor.ibeam", [](Builder& b) {
             b.line(8, 2.5, 8, 13.5).poly({{5.5, 2}, {6.5, 2.5}, {9.5, 2.5}, {10.5, 2}}).poly({{5.5, 14}, {6.5, 13.5}, {9.5, 13.5}, {10.5, 14}});
         }},
        {"cursorarrow", [](Builder& b) {
             b.poly({{4, 1.5}, {4, 13}, {6.8, 10.3}, {8.8, 14.5}, {10.6, 13.7}, {8.6, 9.6}, {12.3, 9.6}}, true);
         }},
        // Bottom bar
        {"book", [](Builder& b) {
             QPainterPath left(QPointF(8, 4));
             left.cubicTo(6.5, 3, 4, 2.7, 1.5, 3.2);
             left.lineTo(1.5, 13);
             left.cubicTo(4, 12.5, 6.5, 12.8, 8, 13.8);
             b.path(left).path(QTransform(-1, 0, 0, 1, 16, 0).map(left)).line(8, 4, 8, 13.8);
         }},
        {"arrow.up.and.down", [](Builder& b) { b.arrowUp(8, 1.5, 8).arrowDown(8, 8, 14.5); }},
        {"arrow.down.right.and.arrow.up.left", [](Builder& b) {
             b.line(2.5, 2.5, 7, 7).poly({{7, 3.6}, {7, 7}, {3.6, 7}}).line(13.5, 13.5, 9, 9).poly({{9, 12.4}, {9, 9}, {12.4, 9}});
         }},
        {"arrow.left.and.line.vertical.and.arrow.right", [](Builder& b) {
             b.line(8, 2.5, 8, 13.5).line(6, 8, 1.5, 8).poly({{3.8, 5.7}, {1.5, 8}, {3.8, 10.3}})
                 .line(10, 8, 14.5, 8).poly({{12.2, 5.7}, {14.5, 8}, {12.2, 10.3}});
         }},
        {"arrow.up.arrow.down", [](Builder& b) { b.arrowUp(5, 2, 14).arrowDown(11, 2, 14); }},
        {"trash", [](Builder& b) {
             b.line(2, 4, 14, 4).poly({{6, 4}, {6, 2}, {10, 2}, {10, 4}}).poly({{3.5, 4}, {4.5, 14.5}, {11.5, 14.5}, {12.5, 4}})
                 .line(6.7, 7, 6.9, 12).line(9.3, 7, 9.1, 12);
         }},
        // Text format
        {"bold", [](Builder& b) { b.letter(QStringLiteral("B"), true, false); }},
        {"italic", [](Builder& b) { b.letter(QStringLiteral("I"), false, true); }},
        {"underline", [](Builder& b) { b.letter(QStringLiteral("U"), false, false).line(3.5, 15, 12.5, 15); }},
        {"strikethrough", [](Builder& b) { b.letter(QStringLiteral("S"), false, false).line(2.5, 7.8, 13.5, 7.8); }},
        {"text.alignleft", [](Builder& b) { b.textLines({{2, 14}, {2, 10}, {2, 14}, {2, 8}}); }},
        {"text.aligncenter", [](Builder& b) { b.textLines({{2, 14}, {4, 12}, {2, 14}, {5, 11}}); }},
        {"text.alignright", [](Builder& b) { b.textLines({{2, 14}, {6, 14}, {2, 14}, {8, 14}}); }},
        {"list.bullet", [](Builder& b) {
             for (double y : {4.0, 8.0, 12.0}) b.dot(3, y, 1.1).line(6.5, y, 14, y);
         }},
    };
    return list;
}

// The drawings that are mirror images of others.
const std::vector<std::pair<QString, QString>>& mirroredList() {
    static const std::vector<std::pair<QString, QString>> list = {
        {"arrow.uturn.forward", "arrow.uturn.backward"},
        {"rotate.right", "rotate.left"},
        {"sidebar.right", "sidebar.left"},
    };
    return list;
}

// A disc with the stroked and filled parts of `shape` (shrunk around the centre) cut out.
SymbolShape cutOut(const SymbolShape& shape) {
    const QTransform shrink = QTransform::fromTranslate(8, 8).scale(0.62, 0.62).translate(-8, -8);
    QPainterPathStroker stroker;
    stroker.setWidth(1.5);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    QPainterPath mark = stroker.createStroke(shrink.map(shape.stroke)).united(shrink.map(shape.fill));
    QPainterPath disc;
    disc.addEllipse(QPointF(8, 8), 7, 7);
    SymbolShape filled;
    filled.fill = disc.subtracted(mark);
    return filled;
}

}  // namespace

const std::map<QString, SymbolShape>& symbolShapes() {
    static const std::map<QString, SymbolShape> shapes = [] {
        std::map<QString, SymbolShape> table;
        std::map<QString, Drawing> drawings(drawingList().begin(), drawingList().end());
        for (const auto& [name, original] : mirroredList()) drawings[name] = mirrored(drawings.at(original));
        for (const auto& [name, drawing] : drawings) {
            SymbolShape shape;
            Builder builder{shape};
            drawing(builder);
            table[name] = shape;
        }
        // Filled variants: a disc cut by the mark; "circle.fill" is the plain disc.
        for (const char* base : {"xmark", "arrow.up.arrow.down", "checkmark", "plus"}) {
            const auto found = table.find(base);
            if (found != table.end()) table[QString::fromLatin1(base) + QStringLiteral(".circle.fill")] = cutOut(found->second);
        }
        SymbolShape disc;
        disc.fill.addEllipse(QPointF(8, 8), 5.5, 5.5);
        table[QStringLiteral("circle.fill")] = disc;
        return table;
    }();
    return shapes;
}

}  // namespace scrivola
