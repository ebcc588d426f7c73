#pragma once

#include <QString>

#include <optional>

namespace scrivola {

// Page layout of a PDF view. The order equals the engine view's display modes (single page,
// single page continuous, two-up, two-up continuous), so the ordinal passes straight through.
enum class ViewMode { singlePage, continuous, twoPages, twoPagesContinuous };

inline bool isContinuous(ViewMode mode) { return mode == ViewMode::continuous || mode == ViewMode::twoPagesContinuous; }
inline bool isTwoUp(ViewMode mode) { return mode == ViewMode::twoPages || mode == ViewMode::twoPagesContinuous; }

// How the view's scale follows the window; `manual` keeps the user's zoom level.
enum class AutoFitMode { fitPage, fitWidth, manual };

// What the page-thumbnail sidebar does: show pages, or let the user reorder them.
enum class SidebarMode { view, sort };

// The two behaviours of the text tool: select existing text boxes, or add new ones.
enum class TextSubMode { select, add };

// Highlight colours offered for text markup, in menu order.
enum class HighlightColor { yellow, green, pink, blue, orange };

// Raw text values equal the case names; parsing any other text gives no value.
// Stores `value` in `field`; true when that changed it. The contexts' setters notify only then.
template <typename T>
bool assignChanged(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

QString rawValue(ViewMode mode);
QString rawValue(AutoFitMode mode);
QString rawValue(SidebarMode mode);
QString rawValue(TextSubMode mode);
QString rawValue(HighlightColor color);
std::optional<ViewMode> viewModeFromRaw(const QString& text);
std::optional<AutoFitMode> autoFitModeFromRaw(const QString& text);
std::optional<SidebarMode> sidebarModeFromRaw(const QString& text);
std::optional<TextSubMode> textSubModeFromRaw(const QString& text);
std::optional<HighlightColor> highlightColorFromRaw(const QString& text);

}  // namespace scrivola
