#include "app/core/DesktopColorScheme.h"

#include "app/core/Theme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace scrivola {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

}  // namespace

DesktopColorScheme::Preference DesktopColorScheme::fromPortalValue(const QVariant& value) {
    QVariant inner = value;
    // Read wraps the value in one variant more than the setting has; some portals in two.
    for (int depth = 0; depth < 4 && inner.canConvert<QDBusVariant>() && inner.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        inner = inner.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = inner.toUInt(&ok);
    if (!ok) return Preference::none;
    switch (scheme) {
    case 1: return Preference::dark;
    case 2: return Preference::light;
    default: return Preference::none;
    }
}

DesktopColorScheme::DesktopColorScheme(QObject* parent) : QObject(parent) {}

void DesktopColorScheme::start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kNamespace << kKey;
    // Never waited for: a portal started on demand may take a while; until it answers (or if it
    // never does) the style palette decides.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QVariant> reply = *call;
        if (!reply.isError()) setPreference(fromPortalValue(reply.value()));
        call->deleteLater();
    });
}

bool DesktopColorScheme::prefersDark(const QPalette& stylePalette) const {
    switch (preference_) {
    case Preference::dark: return true;
    case Preference::light: return false;
    case Preference::none: break;
    }
    return Theme::isDarkPalette(stylePalette);
}

void DesktopColorScheme::settingChanged(const QString& settingNamespace, const QString& key, const QDBusVariant& value) {
    if (settingNamespace != kNamespace || key != kKey) return;
    setPreference(fromPortalValue(value.variant()));
}

void DesktopColorScheme::setPreference(Preference preference) {
    if (preference == preference_) return;
    preference_ = preference;
    emit preferenceChanged(preference);
}

}  // namespace scrivola
