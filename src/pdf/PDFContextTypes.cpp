#include "pdf/PDFContextTypes.h"

#include <array>
#include <utility>

namespace scrivola {

namespace {

template <typename E, std::size_t N>
QString nameOf(const std::array<std::pair<E, const char*>, N>& table, E value) {
    for (const auto& [e, name] : table)
        if (e == value) return QString::fromLatin1(name);
    return {};
}

template <typename E, std::size_t N>
std::optional<E> parse(const std::array<std::pair<E, const char*>, N>& table, const QString& text) {
    for (const auto& [e, name] : table)
        if (text == QLatin1String(name)) return e;
    return std::nullopt;
}

constexpr std::array<std::pair<ViewMode, const char*>, 4> kViewModes{{
    {ViewMode::singlePage, "singlePage"},
    {ViewMode::continuous, "continuous"},
    {ViewMode::twoPages, "twoPages"},
    {ViewMode::twoPagesContinuous, "twoPagesContinuous"},
}};
constexpr std::array<std::pair<AutoFitMode, const char*>, 3> kAutoFitModes{{
    {AutoFitMode::fitPage, "fitPage"},
    {AutoFitMode::fitWidth, "fitWidth"},
    {AutoFitMode::manual, "manual"},
}};
constexpr std::array<std::pair<SidebarMode, const char*>, 2> kSidebarModes{{
    {SidebarMode::view, "view"},
    {SidebarMode::sort, "sort"},
}};
constexpr std::array<std::pair<TextSubMode, const char*>, 2> kTextSubModes{{
    {TextSubMode::select, "select"},
    {TextSubMode::add, "add"},
}};
constexpr std::array<std::pair<HighlightColor, const char*>, 5> kHighlightColors{{
    {HighlightColor::yellow, "yellow"},
    {HighlightColor::green, "green"},
    {HighlightColor::pink, "pink"},
    {HighlightColor::blue, "blue"},
    {HighlightColor::orange, "orange"},
}};

}  // namespace

QString rawValue(ViewMode mode) { return nameOf(kViewModes, mode); }
QString rawValue(AutoFitMode mode) { return nameOf(kAutoFitModes, mode); }
QString rawValue(SidebarMode mode) { return nameOf(kSidebarModes, mode); }
QString rawValue(TextSubMode mode) { return nameOf(kTextSubModes, mode); }
QString rawValue(HighlightColor color) { return nameOf(kHighlightColors, color); }

std::optional<ViewMode> viewModeFromRaw(const QString& text) { return parse(kViewModes, text); }
std::optional<AutoFitMode> autoFitModeFromRaw(const QString& text) { return parse(kAutoFitModes, text); }
std::optional<SidebarMode> sidebarModeFromRaw(const QString& text) { return parse(kSidebarModes, text); }
std::optional<TextSubMode> textSubModeFromRaw(const QString& text) { return parse(kTextSubModes, text); }
std::optional<HighlightColor> highlightColorFromRaw(const QString& text) { return parse(kHighlightColors, text); }

}  // namespace scrivola
