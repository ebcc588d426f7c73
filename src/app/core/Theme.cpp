#include "app/core/Theme.h"

namespace scrivola {

QColor Theme::color(Role role, bool isDark) {
    switch (role) {
    case Role::background: return isDark ? QColor(20, 20, 22) : QColor(245, 245, 247);
    case Role::sidebar: return isDark ? QColor(28, 28, 30) : QColor(239, 239, 241);
    case Role::surface: return isDark ? QColor(36, 36, 38) : QColor(255, 255, 255);
    case Role::textPrimary: return isDark ? QColor(242, 242, 242) : QColor(29, 29, 31);
    case Role::textSecondary: return isDark ? QColor(142, 142, 147) : QColor(110, 110, 115);
    case Role::border: return isDark ? QColor(51, 51, 56) : QColor(210, 210, 215);
    case Role::hover: return isDark ? QColor(44, 44, 46) : QColor(232, 232, 237);
    }
    return {};
}

QColor Theme::danger() { return QColor(239, 68, 68); }

QColor Theme::accent(const QPalette& systemPalette) {
    return systemPalette.color(QPalette::Active, QPalette::Highlight);
}

QPalette Theme::palette(bool isDark, const QColor& accent) {
    const QColor background = Theme::background(isDark);
    const QColor sidebar = Theme::sidebar(isDark);
    const QColor surface = Theme::surface(isDark);
    const QColor text = textPrimary(isDark);
    const QColor secondary = textSecondary(isDark);
    const QColor borderColor = border(isDark);
    const QColor hoverColor = hover(isDark);
    const QColor highlight = accent.isValid() ? accent : QColor(0, 122, 255);

    QPalette p;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        p.setColor(group, QPalette::Window, background);
        p.setColor(group, QPalette::WindowText, disabled ? secondary : text);
        p.setColor(group, QPalette::Base, surface);
        p.setColor(group, QPalette::AlternateBase, sidebar);
        p.setColor(group, QPalette::Text, disabled ? secondary : text);
        p.setColor(group, QPalette::PlaceholderText, secondary);
        p.setColor(group, QPalette::Button, surface);
        p.setColor(group, QPalette::ButtonText, disabled ? secondary : text);
        p.setColor(group, QPalette::BrightText, danger());
        p.setColor(group, QPalette::ToolTipBase, surface);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::Light, isDark ? hoverColor.lighter(130) : surface);
        p.setColor(group, QPalette::Midlight, hoverColor);
        p.setColor(group, QPalette::Mid, borderColor);
        p.setColor(group, QPalette::Dark, isDark ? QColor(10, 10, 12) : borderColor.darker(130));
        p.setColor(group, QPalette::Shadow, QColor(0, 0, 0));
        p.setColor(group, QPalette::Highlight, disabled ? borderColor : highlight);
        p.setColor(group, QPalette::HighlightedText, disabled ? secondary : QColor(255, 255, 255));
        p.setColor(group, QPalette::Link, highlight);
        p.setColor(group, QPalette::LinkVisited, highlight.darker(120));
    }
    return p;
}

bool Theme::isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::Window).lightness() <
           palette.color(QPalette::Active, QPalette::WindowText).lightness();
}

}  // namespace scrivola
