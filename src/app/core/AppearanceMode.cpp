#include "app/core/AppearanceMode.h"

namespace scrivola {

QString rawValue(AppearanceMode mode) {
    switch (mode) {
    case AppearanceMode::system: return QStringLiteral("System");
    case AppearanceMode::dark: return QStringLiteral("Dark");
    case AppearanceMode::light: return QStringLiteral("Light");
    }
    return {};
}

namespace AppearanceModes {

const QList<AppearanceMode>& allCases() {
    static const QList<AppearanceMode> cases = {AppearanceMode::system, AppearanceMode::dark, AppearanceMode::light};
    return cases;
}

std::optional<AppearanceMode> fromRawValue(const QString& raw) {
    for (AppearanceMode mode : allCases())
        if (rawValue(mode) == raw) return mode;
    return std::nullopt;
}

bool isDark(AppearanceMode mode, bool systemIsDark) {
    switch (mode) {
    case AppearanceMode::system: return systemIsDark;
    case AppearanceMode::dark: return true;
    case AppearanceMode::light: return false;
    }
    return true;
}

}  // namespace AppearanceModes

}  // namespace scrivola
