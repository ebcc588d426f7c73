#pragma once

#include <QColor>
#include <QPalette>

namespace scrivola {

// Sizes and colours of the user interface. Dynamic colours have a dark and a light variant,
// chosen by the appearance the drawing view shows.
struct Theme {
    // Sizes in logical pixels.
    static constexpr qreal cornerRadius = 8;
    static constexpr qreal smallCornerRadius = 4;
    static constexpr int iconSize = 16;
    static constexpr int toolbarHeight = 40;
    static constexpr int tabBarHeight = 36;

    enum class Role { background, sidebar, surface, textPrimary, textSecondary, border, hover };

    static QColor color(Role role, bool isDark);
    static QColor background(bool isDark) { return color(Role::background, isDark); }
    static QColor sidebar(bool isDark) { return color(Role::sidebar, isDark); }
    static QColor surface(bool isDark) { return color(Role::surface, isDark); }
    static QColor textPrimary(bool isDark) { return color(Role::textPrimary, isDark); }
    static QColor textSecondary(bool isDark) { return color(Role::textSecondary, isDark); }
    static QColor border(bool isDark) { return color(Role::border, isDark); }
    static QColor hover(bool isDark) { return color(Role::hover, isDark); }

    // sRGB 239, 68, 68 in both appearances.
    static QColor danger();
    // The platform's accent colour: the Highlight colour of the given (system) palette.
    static QColor accent(const QPalette& systemPalette);

    // A complete palette for one appearance: window and base colours from the table, text in
    // textPrimary / textSecondary, selection in the accent colour.
    static QPalette palette(bool isDark, const QColor& accent);

    // Whether a palette reads as dark (its window colour darker than its text).
    static bool isDarkPalette(const QPalette& palette);
};

}  // namespace scrivola
