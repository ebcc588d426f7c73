#pragma once

#include <QObject>
#include <QPalette>
#include <QVariant>

class QDBusVariant;

namespace scrivola {

// The colour scheme the desktop prefers, for the System appearance: read from the desktop
// portal's setting "color-scheme" in "org.freedesktop.appearance" and followed while it
// changes. Without a portal (or with no preference) the style palette's lightness decides.
class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    enum class Preference { none, dark, light };
    Q_ENUM(Preference)

    // The portal's value: 1 prefers dark, 2 prefers light, 0 or anything else none. Values
    // wrapped in D-Bus variants (as Read returns them) are unwrapped.
    static Preference fromPortalValue(const QVariant& value);

    explicit DesktopColorScheme(QObject* parent = nullptr);
    // Asks the portal on the session bus without waiting for it, and follows its changes.
    void start();

    Preference preference() const { return preference_; }
    // Whether windows in System mode show dark: the desktop's preference, else whether the
    // style's own palette is dark.
    bool prefersDark(const QPalette& stylePalette) const;

signals:
    void preferenceChanged(scrivola::DesktopColorScheme::Preference preference);

public slots:
    // The portal's SettingChanged signal; other settings are ignored.
    void settingChanged(const QString& settingNamespace, const QString& key, const QDBusVariant& value);

private:
    void setPreference(Preference preference);

    Preference preference_ = Preference::none;
};

}  // namespace scrivola
