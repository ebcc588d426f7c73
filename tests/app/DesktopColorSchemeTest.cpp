// The desktop's colour-scheme preference as the portal states it, followed in System mode.
#include "app/core/DesktopColorScheme.h"

#include "app/core/Theme.h"

#include <QDBusVariant>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace scrivola;
using Preference = DesktopColorScheme::Preference;

TEST(DesktopColorSchemeTest, PortalValuesMapToPreferencesAndChangesAreFollowed) {
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant(2u)), Preference::light);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant(0u)), Preference::none);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant(7u)), Preference::none);
    // Read answers with the value inside one variant more, some portals with two.
    const QVariant once = QVariant::fromValue(QDBusVariant(QVariant(1u)));
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant::fromValue(QDBusVariant(once))), Preference::dark);

    DesktopColorScheme scheme;
    QSignalSpy changes(&scheme, &DesktopColorScheme::preferenceChanged);
    const QPalette darkStyle = Theme::palette(true, QColor());
    const QPalette lightStyle = Theme::palette(false, QColor());
    EXPECT_FALSE(scheme.prefersDark(lightStyle));  // no preference: the style's palette decides
    const QString appearance = QStringLiteral("org.freedesktop.appearance");
    scheme.settingChanged(appearance, QStringLiteral("color-scheme"), QDBusVariant(QVariant(1u)));
    EXPECT_TRUE(scheme.prefersDark(lightStyle));
    // Other settings and namespaces change nothing.
    scheme.settingChanged(appearance, QStringLiteral("accent-color"), QDBusVariant(QVariant(2u)));
    scheme.settingChanged(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme"), QDBusVariant(QVariant(2u)));
    EXPECT_EQ(scheme.preference(), Preference::dark);
    scheme.settingChanged(appearance, QStringLiteral("color-scheme"), QDBusVariant(QVariant(2u)));
    EXPECT_FALSE(scheme.prefersDark(darkStyle));
    scheme.settingChanged(appearance, QStringLiteral("color-scheme"), QDBusVariant(QVariant(0u)));
    EXPECT_TRUE(scheme.prefersDark(darkStyle));
    EXPECT_EQ(changes.count(), 3);
}
