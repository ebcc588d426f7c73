#pragma once

#include "pdf/PDFContextTypes.h"

#include <QColor>
#include <QString>

#include <array>

namespace scrivola {

// Every highlight colour in menu order.
constexpr std::array<HighlightColor, 5> kAllHighlightColors{HighlightColor::yellow, HighlightColor::green,
                                                             HighlightColor::pink, HighlightColor::blue,
                                                             HighlightColor::orange};

// The colour a highlight annotation gets (the system's named colour, opaque).
QColor highlightAnnotationColor(HighlightColor color);

// The name shown in menus: "Yellow", "Green", "Pink", "Blue", "Orange".
QString highlightColorDisplayName(HighlightColor color);

}  // namespace scrivola
