#include "app/core/BrenixStatusService.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace scrivola;

using scrivola::testing::readBytes;
using scrivola::testing::writeBytes;

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

    const QByteArray text = readBytes(path);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(text, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    EXPECT_EQ(object.keys(), QStringList({"app", "installed_version", "last_seen"}));
    EXPECT_EQ(object["app"].toString(), "scrivola");
    EXPECT_EQ(object["installed_version"].toString(), "0.1.0");
    const QString lastSeen = object["last_seen"].toString();
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$").match(lastSeen).hasMatch())
        << lastSeen.toStdString();
    const QDateTime seen = QDateTime::fromString(lastSeen, Qt::ISODate);
    EXPECT_GE(seen, before);
    EXPECT_LE(seen, QDateTime::currentDateTimeUtc().addSecs(1));
    EXPECT_TRUE(text.startsWith("{\n    \"app\""));
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
