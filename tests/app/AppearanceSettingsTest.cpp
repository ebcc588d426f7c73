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

TEST(AppearanceModeTest, RawValuesAndOrder) {
    EXPECT_EQ(AppearanceModes::allCases(),
              QList<AppearanceMode>({AppearanceMode::system, AppearanceMode::dark, AppearanceMode::light}));
    QStringList raw;
    for (AppearanceMode mode : AppearanceModes::allCases()) {
        raw << rawValue(mode);
        EXPECT_EQ(AppearanceModes::fromRawValue(rawValue(mode)), mode);
    }
    EXPECT_EQ(raw, QStringList({"System", "Dark", "Light"}));
    for (const char* text : {"dark", "LIGHT", " Light", "", "Auto"}) EXPECT_FALSE(AppearanceModes::fromRawValue(text)) << text;
    EXPECT_TRUE(AppearanceModes::isDark(AppearanceMode::dark, false));
    EXPECT_FALSE(AppearanceModes::isDark(AppearanceMode::light, true));
    EXPECT_TRUE(AppearanceModes::isDark(AppearanceMode::system, true));
    EXPECT_FALSE(AppearanceModes::isDark(AppearanceMode::system, false));
}

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

TEST_F(AppearanceSettingsTest, WelcomeFlagDefaultsToFalseAndPersists) {
    AppearanceSettings settings(&store);
    QSignalSpy spy(&settings, &AppearanceSettings::hasSeenWelcomeChanged);
    EXPECT_FALSE(settings.hasSeenWelcome());
    settings.setHasSeenWelcome(true);
    settings.setHasSeenWelcome(true);
    EXPECT_EQ(spy.count(), 1);
    store.sync();
    QSettings reread(path(), QSettings::IniFormat);
    AppearanceSettings again(&reread);
    EXPECT_TRUE(again.hasSeenWelcome());
}

TEST(ThemeTest, ColourTableAndSizes) {
    EXPECT_EQ(Theme::background(true), QColor(20, 20, 22));
    EXPECT_EQ(Theme::background(false), QColor(245, 245, 247));
    EXPECT_EQ(Theme::surface(false), QColor(255, 255, 255));
    EXPECT_EQ(Theme::textPrimary(true), QColor(242, 242, 242));
    EXPECT_EQ(Theme::textSecondary(false), QColor(110, 110, 115));
    EXPECT_EQ(Theme::border(true), QColor(51, 51, 56));
    EXPECT_EQ(Theme::hover(false), QColor(232, 232, 237));
    EXPECT_EQ(Theme::sidebar(true), QColor(28, 28, 30));
    EXPECT_EQ(Theme::danger(), QColor(239, 68, 68));
    EXPECT_NEAR(Theme::danger().redF(), 0.9373, 1e-4);
    EXPECT_EQ(Theme::cornerRadius, 8);
    EXPECT_EQ(Theme::tabBarHeight, 36);
    EXPECT_EQ(Theme::toolbarHeight, 40);
}

TEST(ThemeTest, PaletteFollowsModeAndKeepsSystemAccent) {
    QPalette system;
    system.setColor(QPalette::Window, QColor(250, 250, 250));
    system.setColor(QPalette::WindowText, QColor(0, 0, 0));
    system.setColor(QPalette::Highlight, QColor(200, 30, 120));

    const QPalette dark = AppearanceSettings::palette(AppearanceMode::dark, false, system);
    EXPECT_EQ(dark.color(QPalette::Window), QColor(20, 20, 22));
    EXPECT_EQ(dark.color(QPalette::Base), QColor(36, 36, 38));
    EXPECT_EQ(dark.color(QPalette::Text), QColor(242, 242, 242));
    EXPECT_EQ(dark.color(QPalette::Highlight), QColor(200, 30, 120));
    EXPECT_TRUE(Theme::isDarkPalette(dark));

    const QPalette light = AppearanceSettings::palette(AppearanceMode::light, true, system);
    EXPECT_EQ(light.color(QPalette::Window), QColor(245, 245, 247));
    EXPECT_EQ(light.color(QPalette::WindowText), QColor(29, 29, 31));
    EXPECT_FALSE(Theme::isDarkPalette(light));

    EXPECT_EQ(AppearanceSettings::palette(AppearanceMode::system, true, system).color(QPalette::Window),
              QColor(20, 20, 22));
    EXPECT_EQ(AppearanceSettings::palette(AppearanceMode::system, false, system).color(QPalette::Window),
              QColor(245, 245, 247));
    EXPECT_FALSE(Theme::isDarkPalette(system));
    // Disabled text is dimmed.
    EXPECT_EQ(dark.color(QPalette::Disabled, QPalette::Text), QColor(142, 142, 147));
}
