// The desktop's colour-scheme preference as the portal states it, followed in System mode.
#include "app/core/DesktopColorScheme.h"

#include "app/core/Theme.h"

#include <QDBusVariant>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace scrivola;
using Preference = DesktopColorScheme::Preference;

namespace {

TEST(DesktopColorSchemeTest, PortalValuesMapToPreferences) {
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant(1u)), Preference::dark);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant(2u)), Preference::light);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant(0u)), Preference::none);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant(7u)), Preference::none);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant(QStringLiteral("dark"))), Preference::none);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant()), Preference::none);
    // Read answers with the value inside one variant more, some portals with two.
    const QVariant once = QVariant::fromValue(QDBusVariant(QVariant(1u)));
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(once), Preference::dark);
    EXPECT_EQ(DesktopColorScheme::fromPortalValue(QVariant::fromValue(QDBusVariant(once))), Preference::dark);
}

TEST(DesktopColorSchemeTest, FollowsChangesOfItsOwnSettingElseThePaletteDecides) {
    DesktopColorScheme scheme;
    QSignalSpy changes(&scheme, &DesktopColorScheme::preferenceChanged);
    const QPalette darkStyle = Theme::palette(true, QColor());
    const QPalette lightStyle = Theme::palette(false, QColor());
    EXPECT_TRUE(scheme.prefersDark(darkStyle));
    EXPECT_FALSE(scheme.prefersDark(lightStyle));

    scheme.settingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), QDBusVariant(QVariant(1u)));
    EXPECT_EQ(scheme.preference(), Preference::dark);
    EXPECT_TRUE(scheme.prefersDark(lightStyle));
    // Other settings and namespaces change nothing.
    scheme.settingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("accent-color"), QDBusVariant(QVariant(2u)));
    scheme.settingChanged(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("color-scheme"), QDBusVariant(QVariant(2u)));
    EXPECT_EQ(scheme.preference(), Preference::dark);
    scheme.settingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), QDBusVariant(QVariant(2u)));
    EXPECT_FALSE(scheme.prefersDark(darkStyle));
    scheme.settingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), QDBusVariant(QVariant(0u)));
    EXPECT_TRUE(scheme.prefersDark(darkStyle));
    ASSERT_EQ(changes.count(), 3);
    EXPECT_EQ(changes.at(1).at(0).value<Preference>(), Preference::light);
}

}  // namespace
