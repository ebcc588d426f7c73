// The recent-documents list and the desktop's recently-used file.
#include "workspace/RecentDocuments.h"
#include "workspace/RecentlyUsedXbel.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace scrivola;
using scrivola::testing::readBytes;
using scrivola::testing::writeBytes;

namespace {

class RecentDocumentsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString touch(const QString& name) { return QFileInfo(writeBytes(dir.filePath(name), "x")).canonicalFilePath(); }
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("recent.ini")), QSettings::IniFormat};
};

struct XbelBookmark {
    QString href, added, modified;
    QStringList applications;  // "name:count"
};

QList<XbelBookmark> readXbel(const QString& path, bool* wellFormed) {
    QFile f(path);
    QList<XbelBookmark> result;
    if (!f.open(QIODevice::ReadOnly)) { *wellFormed = false; return result; }
    QXmlStreamReader r(&f);
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement()) continue;
        if (r.name() == QLatin1String("bookmark") && r.namespaceUri().isEmpty()) {
            const auto a = r.attributes();
            result.append({a.value("href").toString(), a.value("added").toString(), a.value("modified").toString(), {}});
        } else if (r.name() == QLatin1String("application") && !result.isEmpty()) {
            result.last().applications << r.attributes().value("name").toString() + ':' + r.attributes().value("count").toString();
        }
    }
    *wellFormed = !r.hasError();
    return result;
}

}  // namespace

TEST_F(RecentDocumentsTest, NewestFirstWithoutDuplicates) {
    RecentDocuments recent(&settings);
    QSignalSpy changed(&recent, &RecentDocuments::changed);
    const QString a = touch(QStringLiteral("a.pdf"));
    const QString b = touch(QStringLiteral("b.png"));
    recent.note(a);
    recent.note(b);
    recent.note(dir.filePath(QStringLiteral("sub/../a.pdf")));  // the same file again
    ASSERT_TRUE(QFile::link(b, dir.filePath(QStringLiteral("b-link.png"))));
    recent.note(dir.filePath(QStringLiteral("b-link.png")));
    EXPECT_EQ(recent.list(), (QStringList{b, a}));
    EXPECT_EQ(changed.count(), 4);

    RecentDocuments reread(&settings);  // kept in the settings
    EXPECT_EQ(reread.list(), (QStringList{b, a}));
    reread.clear();
    EXPECT_TRUE(recent.list().isEmpty());

    // The twenty newest are kept, of files that still exist.
    QStringList noted;
    for (int i = 0; i < 25; ++i) {
        noted.prepend(touch(QStringLiteral("f%1.pdf").arg(i)));
        recent.note(noted.first());
    }
    EXPECT_EQ(recent.list(), noted.mid(0, 20));
    QFile::remove(noted[1]);
    EXPECT_EQ(recent.list(), noted.mid(0, 1) + noted.mid(2, 18));
    EXPECT_EQ(settings.value(RecentDocuments::kSettingsKey).toStringList(), recent.list());
}

// Noting a file adds it to the desktop's recently-used list, made when missing, keeping the
// entries of other programs and counting our uses.
TEST_F(RecentDocumentsTest, NotingAddsToTheDesktopListAndKeepsOtherEntries) {
    const QString fresh = dir.filePath(QStringLiteral("share/recently-used.xbel"));
    RecentDocuments recent(&settings, fresh);
    const QString spaced = touch(QStringLiteral("a b.pdf"));
    recent.note(spaced);
    recent.note(spaced);
    bool ok = false;
    const auto made = readXbel(fresh, &ok);
    ASSERT_TRUE(ok && made.size() == 1);
    EXPECT_EQ(QUrl(made[0].href).toLocalFile(), spaced);
    EXPECT_EQ(made[0].applications, QStringList{QStringLiteral("Scrivola:2")});

    const QString xbel = dir.filePath(QStringLiteral("recently-used.xbel"));
    const QString a = touch(QStringLiteral("a.pdf"));
    const QString href = QString::fromLatin1(QUrl::fromLocalFile(a).toEncoded());
    writeBytes(xbel, QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<xbel version=\"1.0\" xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\" "
                "xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                "  <bookmark href=\"file:///home/u/other.txt\" added=\"2020-01-01T00:00:00Z\" modified=\"2020-01-01T00:00:00Z\" visited=\"2020-01-01T00:00:00Z\">\n"
                "    <info><metadata owner=\"http://freedesktop.org\"><mime:mime-type type=\"text/plain\"/>"
                "<bookmark:applications><bookmark:application name=\"Editor\" exec=\"'editor %u'\" modified=\"2020-01-01T00:00:00Z\" count=\"3\"/>"
                "</bookmark:applications></metadata></info>\n  </bookmark>\n"
                "  <bookmark href=\"%1\" added=\"2021-01-01T00:00:00Z\" modified=\"2021-01-01T00:00:00Z\" visited=\"2021-01-01T00:00:00Z\">\n"
                "    <info><metadata owner=\"http://freedesktop.org\"><mime:mime-type type=\"application/pdf\"/>"
                "<bookmark:applications><bookmark:application name=\"Viewer\" exec=\"'viewer %u'\" modified=\"2021-01-01T00:00:00Z\" count=\"1\"/>"
                "</bookmark:applications></metadata></info>\n  </bookmark>\n"
                "</xbel>\n").arg(href).toUtf8());

    ASSERT_TRUE(RecentlyUsedXbel::add(xbel, a, QStringLiteral("application/pdf")));
    const auto bookmarks = readXbel(xbel, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(bookmarks.size(), 2);
    EXPECT_EQ(bookmarks[0].href, QStringLiteral("file:///home/u/other.txt"));
    EXPECT_EQ(bookmarks[0].applications, QStringList{QStringLiteral("Editor:3")});
    EXPECT_EQ(bookmarks[1].href, href);
    EXPECT_EQ(bookmarks[1].added, QStringLiteral("2021-01-01T00:00:00Z"));
    EXPECT_NE(bookmarks[1].modified, QStringLiteral("2021-01-01T00:00:00Z"));
    EXPECT_EQ(bookmarks[1].applications, (QStringList{QStringLiteral("Viewer:1"), QStringLiteral("Scrivola:1")}));
    EXPECT_TRUE(readBytes(xbel).contains("<bookmark:applications>"));  // prefixes kept

    // A list that cannot be parsed is left alone.
    const QByteArray broken = "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><bookmark href=\"file:///x\">";
    writeBytes(xbel, broken);
    EXPECT_FALSE(RecentlyUsedXbel::add(xbel, a, QStringLiteral("application/pdf")));
    EXPECT_EQ(readBytes(xbel), broken);
}

// A collection is noted in one go, as if file by file: the same order, each desktop bookmark
// once, an existing one counted again.
TEST_F(RecentDocumentsTest, NotingSeveralFilesAtOnceEqualsNotingThemInTurn) {
    const QString xbel = dir.filePath(QStringLiteral("batch.xbel"));
    RecentDocuments recent(&settings, xbel);
    const QString b = touch(QStringLiteral("b.png"));
    recent.note(b);
    QStringList many;
    for (int i = 0; i < RecentDocuments::kMaximum + 5; ++i) many << touch(QString("p%1.jpg").arg(i));
    many.insert(3, b);
    recent.note(many);

    QSettings reference(dir.filePath(QStringLiteral("reference.ini")), QSettings::IniFormat);
    RecentDocuments oneByOne(&reference);
    oneByOne.note(b);
    for (const QString& path : many) oneByOne.note(path);
    EXPECT_EQ(recent.list(), oneByOne.list());
    EXPECT_EQ(recent.list().size(), RecentDocuments::kMaximum);
    EXPECT_EQ(recent.list().first(), many.last());

    bool ok = false;
    const auto bookmarks = readXbel(xbel, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(bookmarks.size(), many.size());
    EXPECT_EQ(QUrl(bookmarks[0].href).toLocalFile(), b);
    EXPECT_EQ(bookmarks[0].applications, QStringList{QStringLiteral("Scrivola:2")});
    EXPECT_EQ(QUrl(bookmarks.last().href).toLocalFile(), many.last());
    EXPECT_EQ(bookmarks.last().applications, QStringList{QStringLiteral("Scrivola:1")});
}
