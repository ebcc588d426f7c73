#pragma once

#include "app/core/AppearanceMode.h"

#include <QObject>
#include <QPalette>

#include <memory>

class QSettings;

namespace scrivola {

// The user settings of the interface: the appearance mode ("appearanceMode", raw value text;
// missing or unrecognised means dark) and whether the welcome sheet was dismissed once
// ("hasSeenWelcome", false when missing). Values are read from the settings store on every call,
// so several instances over the same store agree. Applying the mode to windows is the
// application's job: it listens to appearanceModeChanged and sets palette().
class AppearanceSettings : public QObject {
    Q_OBJECT
public:
    static constexpr const char* appearanceModeKey = "appearanceMode";
    static constexpr const char* hasSeenWelcomeKey = "hasSeenWelcome";
    static constexpr AppearanceMode defaultMode = AppearanceMode::dark;

    // settings: the store to use (not owned); null for the application's own QSettings.
    explicit AppearanceSettings(QSettings* settings = nullptr, QObject* parent = nullptr);
    ~AppearanceSettings() override;

    AppearanceMode appearanceMode() const;
    // Stores the raw value; emits appearanceModeChanged when the effective mode changes.
    void setAppearanceMode(AppearanceMode mode);

    bool hasSeenWelcome() const;
    void setHasSeenWelcome(bool seen);

    // The palette windows show for a mode: the Theme's dark or light variant (for system, the
    // one matching the operating system), with the accent colour of the system palette.
    static QPalette palette(AppearanceMode mode, bool systemIsDark, const QPalette& systemPalette);
    QPalette palette(bool systemIsDark, const QPalette& systemPalette) const {
        return palette(appearanceMode(), systemIsDark, systemPalette);
    }

signals:
    void appearanceModeChanged(scrivola::AppearanceMode mode);
    void hasSeenWelcomeChanged(bool seen);

private:
    QSettings& settings() const;

    std::unique_ptr<QSettings> ownedSettings_;
    QSettings* settings_;
};

}  // namespace scrivola
