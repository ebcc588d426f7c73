#include "pdf/HighlightColors.h"

namespace scrivola {

QColor highlightAnnotationColor(HighlightColor color) {
    switch (color) {
    case HighlightColor::yellow: return QColor(255, 204, 0);
    case HighlightColor::green: return QColor(52, 199, 89);
    case HighlightColor::pink: return QColor(255, 45, 85);
    case HighlightColor::blue: return QColor(0, 122, 255);
    case HighlightColor::orange: return QColor(255, 149, 0);
    }
    return QColor(255, 204, 0);
}

QString highlightColorDisplayName(HighlightColor color) {
    switch (color) {
    case HighlightColor::yellow: return QStringLiteral("Yellow");
    case HighlightColor::green: return QStringLiteral("Green");
    case HighlightColor::pink: return QStringLiteral("Pink");
    case HighlightColor::blue: return QStringLiteral("Blue");
    case HighlightColor::orange: return QStringLiteral("Orange");
    }
    return {};
}

}  // namespace scrivola
