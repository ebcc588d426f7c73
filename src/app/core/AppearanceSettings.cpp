#include "app/core/AppearanceSettings.h"

#include "app/core/Theme.h"

#include <QSettings>

namespace scrivola {

AppearanceSettings::AppearanceSettings(QSettings* settings, QObject* parent)
    : QObject(parent),
      ownedSettings_(settings ? nullptr : std::make_unique<QSettings>()),
      settings_(settings ? settings : ownedSettings_.get()) {}

AppearanceSettings::~AppearanceSettings() = default;

QSettings& AppearanceSettings::settings() const { return *settings_; }

AppearanceMode AppearanceSettings::appearanceMode() const {
    const QVariant stored = settings().value(QLatin1String(appearanceModeKey));
    if (!stored.isValid()) return defaultMode;
    return AppearanceModes::fromRawValue(stored.toString()).value_or(defaultMode);
}

void AppearanceSettings::setAppearanceMode(AppearanceMode mode) {
    const AppearanceMode previous = appearanceMode();
    settings().setValue(QLatin1String(appearanceModeKey), rawValue(mode));
    if (mode != previous) emit appearanceModeChanged(mode);
}

bool AppearanceSettings::hasSeenWelcome() const {
    return settings().value(QLatin1String(hasSeenWelcomeKey), false).toBool();
}

void AppearanceSettings::setHasSeenWelcome(bool seen) {
    const bool previous = hasSeenWelcome();
    settings().setValue(QLatin1String(hasSeenWelcomeKey), seen);
    if (seen != previous) emit hasSeenWelcomeChanged(seen);
}

QPalette AppearanceSettings::palette(AppearanceMode mode, bool systemIsDark, const QPalette& systemPalette) {
    return Theme::palette(AppearanceModes::isDark(mode, systemIsDark), Theme::accent(systemPalette));
}

}  // namespace scrivola
