// Application settings (appearance, palette) and the status file other programs read.
#include "app/core/AppearanceSettings.h"
#include "app/core/BrenixStatusService.h"
#include "app/core/Theme.h"
#include "support/Files.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace scrivola;
using scrivola::testing::readBytes;
using scrivola::testing::writeBytes;

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
    store.setValue("appearanceMode", "light");  // the stored values are capitalised
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
    EXPECT_EQ(dark.color(QPalette::Highlight), QColor(200, 30, 120));
    EXPECT_TRUE(Theme::isDarkPalette(dark));
    EXPECT_FALSE(Theme::isDarkPalette(AppearanceSettings::palette(AppearanceMode::light, true, system)));
    // System follows the desktop's dark setting.
    EXPECT_TRUE(Theme::isDarkPalette(AppearanceSettings::palette(AppearanceMode::system, true, system)));
    EXPECT_FALSE(Theme::isDarkPalette(AppearanceSettings::palette(AppearanceMode::system, false, system)));
    EXPECT_FALSE(Theme::isDarkPalette(system));
}

// The status file other programs read.
TEST(BrenixStatusServiceTest, TextIsIndentedWithThreeSortedMembers) {
    const QDateTime moment(QDate(2026, 12, 5), QTime(16, 59, 0, 789), Qt::UTC);
    EXPECT_EQ(BrenixStatusService::statusJson(moment),
              "{\n"
              "    \"app\": \"scrivola\",\n"
              "    \"installed_version\": \"0.1.0\",\n"
              "    \"last_seen\": \"2026-12-05T16:59:00Z\"\n"
              "}\n");
    // A local time is written in UTC.
    const QDateTime local = moment.toOffsetFromUtc(2 * 3600);
    EXPECT_TRUE(BrenixStatusService::statusJson(local).contains("\"2026-12-05T16:59:00Z\""));
}

TEST(BrenixStatusServiceTest, WriteReplacesTheFileInTheHiddenFolder) {
    QTemporaryDir home;
    const BrenixStatusService service(home.path());
    const QString path = home.path() + "/.brenix/status/scrivola.json";
    EXPECT_EQ(service.statusFilePath(), path);

    ASSERT_TRUE(QDir().mkpath(home.path() + "/.brenix/status"));
    writeBytes(path, QByteArray(4096, 'x'));  // a longer previous file must not survive in part
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    EXPECT_TRUE(service.write());
    EXPECT_TRUE(service.write());

    // The whole file is the current status: a longer old file leaves nothing behind.
    const QByteArray text = readBytes(path);
    const QDateTime seen = QDateTime::fromString(QJsonDocument::fromJson(text).object()["last_seen"].toString(), Qt::ISODate);
    EXPECT_GE(seen, before);
    EXPECT_LE(seen, QDateTime::currentDateTimeUtc().addSecs(1));
    EXPECT_EQ(text, BrenixStatusService::statusJson(seen));
    // Only the file itself is left in the folder: no temporary files.
    EXPECT_EQ(QDir(home.path() + "/.brenix/status").entryList(QDir::Files | QDir::Hidden),
              QStringList({"scrivola.json"}));
}

TEST(BrenixStatusServiceTest, UnwritableLocationsLeaveNothingAndDoNotThrow) {
    QTemporaryDir dir;
    // The home folder is a plain file.
    const QString fileHome = dir.path() + "/home-file";
    writeBytes(fileHome, "not a folder");
    EXPECT_NO_THROW(EXPECT_FALSE(BrenixStatusService(fileHome).write()));
    EXPECT_EQ(readBytes(fileHome), "not a folder");

    // ".brenix" is a plain file.
    const QString blockedHome = dir.path() + "/blocked";
    ASSERT_TRUE(QDir().mkpath(blockedHome));
    writeBytes(blockedHome + "/.brenix", "in the way");
    EXPECT_FALSE(BrenixStatusService(blockedHome).write());
    EXPECT_EQ(readBytes(blockedHome + "/.brenix"), "in the way");

    // The status file's name is taken by a folder.
    const QString folderHome = dir.path() + "/taken";
    ASSERT_TRUE(QDir().mkpath(folderHome + "/.brenix/status/scrivola.json/inner"));
    EXPECT_FALSE(BrenixStatusService(folderHome).write());
    EXPECT_EQ(QDir(folderHome + "/.brenix/status").entryList(QDir::Files | QDir::Hidden), QStringList());
}
