#pragma once

#include <QPainterPath>
#include <QString>

#include <map>

namespace scrivola {

// One symbol on the 16 × 16 grid: lines stroked with the symbol's pen, areas filled in its colour.
struct SymbolShape {
    QPainterPath stroke;
    QPainterPath fill;
};

// Every symbol by name, built once.
const std::map<QString, SymbolShape>& symbolShapes();

}  // namespace scrivola
