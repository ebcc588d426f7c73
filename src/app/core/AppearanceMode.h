#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace scrivola {

// The user's choice of appearance: follow the operating system, or always dark or light.
enum class AppearanceMode { system, dark, light };

// "System", "Dark", "Light".
QString rawValue(AppearanceMode mode);

namespace AppearanceModes {
// In menu order: system, dark, light.
const QList<AppearanceMode>& allCases();
// Exact (case-sensitive) match of a raw value; nothing for any other text.
std::optional<AppearanceMode> fromRawValue(const QString& raw);
// Whether a mode shows dark, given whether the operating system currently prefers dark.
bool isDark(AppearanceMode mode, bool systemIsDark);
}  // namespace AppearanceModes

}  // namespace scrivola
