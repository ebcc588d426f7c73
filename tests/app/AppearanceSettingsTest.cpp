#include "app/core/AppearanceSettings.h"
#include "app/core/Theme.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace scrivola;

namespace {

class AppearanceSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + "/settings.ini"; }
    QSettings store{path(), QSettings::IniFormat};
};

}  // namespace

TEST_F(AppearanceSettingsTest, MissingOrUnrecognisedValueGivesDark) {
    AppearanceSettings settings(&store);
    EXPECT_EQ(settings.appearanceMode(), AppearanceMode::dark);
    store.setValue("appearanceMode", "dark");
    EXPECT_EQ(settings.appearanceMode(), AppearanceMode::dark);
    store.setValue("appearanceMode", "light");
    EXPECT_EQ(settings.appearanceMode(), AppearanceMode::dark);
    store.setValue("appearanceMode", "Light");
    EXPECT_EQ(settings.appearanceMode(), AppearanceMode::light);
    store.setValue("appearanceMode", "System");
    EXPECT_EQ(settings.appearanceMode(), AppearanceMode::system);
}

TEST_F(AppearanceSettingsTest, WritingStoresRawValueAndNotifiesChanges) {
    AppearanceSettings settings(&store);
    AppearanceSettings other(&store);
    QSignalSpy spy(&settings, &AppearanceSettings::appearanceModeChanged);

    settings.setAppearanceMode(AppearanceMode::system);
    EXPECT_EQ(store.value("appearanceMode").toString(), "System");
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<AppearanceMode>(), AppearanceMode::system);
    EXPECT_EQ(other.appearanceMode(), AppearanceMode::system);  // same store, same answer

    settings.setAppearanceMode(AppearanceMode::system);
    EXPECT_EQ(spy.count(), 1);
    // Choosing dark over the implicit default still stores it, without a change.
    store.remove("appearanceMode");
    settings.setAppearanceMode(AppearanceMode::dark);
    EXPECT_EQ(store.value("appearanceMode").toString(), "Dark");
    EXPECT_EQ(spy.count(), 1);

    settings.setAppearanceMode(AppearanceMode::light);
    store.sync();
    QSettings reread(path(), QSettings::IniFormat);
    EXPECT_EQ(reread.value("appearanceMode").toString(), "Light");
    EXPECT_EQ(spy.count(), 2);
}

TEST(ThemeTest, PaletteFollowsModeAndKeepsSystemAccent) {
    QPalette system;
    system.setColor(QPalette::Window, QColor(250, 250, 250));
    system.setColor(QPalette::WindowText, QColor(0, 0, 0));
    system.setColor(QPalette::Highlight, QColor(200, 30, 120));

    const QPalette dark = AppearanceSettings::palette(AppearanceMode::dark, false, system);
    EXPECT_EQ(dark.color(QPalette::Window), Theme::background(true));
    EXPECT_EQ(dark.color(QPalette::Highlight), QColor(200, 30, 120));
    EXPECT_TRUE(Theme::isDarkPalette(dark));

    const QPalette light = AppearanceSettings::palette(AppearanceMode::light, true, system);
    EXPECT_EQ(light.color(QPalette::Window), Theme::background(false));
    EXPECT_FALSE(Theme::isDarkPalette(light));
    // System follows the desktop's dark setting.
    EXPECT_TRUE(Theme::isDarkPalette(AppearanceSettings::palette(AppearanceMode::system, true, system)));
    EXPECT_FALSE(Theme::isDarkPalette(AppearanceSettings::palette(AppearanceMode::system, false, system)));
    EXPECT_FALSE(Theme::isDarkPalette(system));
}
