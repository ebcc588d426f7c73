// The signature and stamp store (its folders, record files written by hand or by it, restarts,
// built-in stamps, what it refuses), the stamps' pictures and the record format.
#include "signature/BuiltInStamps.h"
#include "signature/SignatureStorageService.h"
#include "signature/StoredSignature.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace scrivola;
using scrivola::testing::writeBytes;

namespace {

QString upperId(const QUuid& id) { return StoredSignature::idText(id); }

// A complete record object as the store writes it.
QJsonObject recordObject(const QUuid& id, const QString& name, double createdAt, const QString& kind = "signature",
                         bool isBuiltIn = false) {
    return QJsonObject{{"id", upperId(id)}, {"name", name},         {"createdAt", createdAt}, {"lastWidth", 200.0},
                       {"lastHeight", 80.0}, {"kind", kind}, {"isBuiltIn", isBuiltIn}};
}

void writeRecord(const QString& folder, const QString& baseName, const QJsonObject& object) {
    writeBytes(folder + "/" + baseName + ".json", QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QJsonObject readRecord(const QString& path) { return QJsonDocument::fromJson(scrivola::testing::readBytes(path)).object(); }

// A small opaque image with a distinct pixel at (0, 0).
QImage sampleImage(int width = 40, int height = 20) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30));
    image.setPixelColor(0, 0, QColor(200, 100, 50));
    return image;
}

class SignatureStoreTest : public ::testing::Test {
protected:
    QTemporaryDir base;
    QString signaturesDir() const { return base.path() + "/Scrivola/Signatures"; }
    QString stampsDir() const { return base.path() + "/Scrivola/Stamps"; }
    void makeFolders() const {
        QDir().mkpath(signaturesDir());
        QDir().mkpath(stampsDir());
    }
    QString file(const QString& folder, const QUuid& id, const char* ext) const {
        return folder + "/" + upperId(id) + "." + ext;
    }
};

QStringList namesOf(const QList<StoredSignature>& list) {
    QStringList names;
    for (const auto& item : list) names << item.name;
    return names;
}

}  // namespace

TEST_F(SignatureStoreTest, FreshFolderGetsTheFiveBuiltInStampsOnceInOrderAndRegeneratesLostOnes) {
    QList<QUuid> firstIds;
    {
        SignatureStorageService store(base.path());
        EXPECT_TRUE(store.signatures().isEmpty());
        ASSERT_EQ(namesOf(store.stamps()), BuiltInStamps::names());
        for (const auto& stamp : store.stamps()) {
            EXPECT_TRUE(stamp.isBuiltIn && stamp.kind == SignatureKind::stamp);
            EXPECT_TRUE(QFileInfo::exists(file(stampsDir(), stamp.id, "png")));
            firstIds << stamp.id;
        }
    }
    // A restart loads the same items, in the same order, and adds nothing.
    SignatureStorageService reopened(base.path());
    ASSERT_EQ(namesOf(reopened.stamps()), BuiltInStamps::names());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(reopened.stamps()[i].id, firstIds[i]);
    EXPECT_FALSE(reopened.stamps()[4].image.isNull());
    EXPECT_EQ(QDir(stampsDir()).entryList(QDir::Files).size(), 10);

    // A built-in stamp whose record vanished is made again, with a new id, as the newest.
    ASSERT_TRUE(QFile::remove(file(stampsDir(), firstIds[0], "json")));
    SignatureStorageService regenerated(base.path());
    ASSERT_EQ(regenerated.stamps().size(), 5);
    EXPECT_EQ(regenerated.stamps().last().name, BuiltInStamps::names()[0]);
    EXPECT_NE(regenerated.stamps().last().id, firstIds[0]);
}

TEST_F(SignatureStoreTest, UserStampWithBuiltInNameBecomesBuiltInAndStaysUndeletable) {
    makeFolders();
    const QUuid id = QUuid::createUuid();
    writeRecord(stampsDir(), upperId(id), recordObject(id, "DRAFT", 1000, "stamp", false));

    SignatureStorageService store(base.path());
    ASSERT_EQ(store.stamps().size(), 5);  // no second DRAFT generated
    EXPECT_EQ(store.stamps().first().id, id);
    EXPECT_TRUE(store.stamps().first().isBuiltIn);
    EXPECT_EQ(readRecord(file(stampsDir(), id, "json")).value("isBuiltIn").toBool(), true);

    EXPECT_FALSE(store.remove(id));
    EXPECT_TRUE(QFileInfo::exists(file(stampsDir(), id, "json")));

    // A signature with a built-in name is left alone.
    const auto signature = store.save(sampleImage(), "APPROVED", SignatureKind::signature);
    ASSERT_TRUE(signature);
    SignatureStorageService reopened(base.path());
    EXPECT_FALSE(reopened.find(signature->id)->isBuiltIn);
    EXPECT_EQ(reopened.stamps().size(), 5);
}

TEST_F(SignatureStoreTest, LoadingAppliesDefaultsAndSkipsIncompleteRecords) {
    makeFolders();
    const QUuid plain = QUuid::createUuid();
    QJsonObject minimal = recordObject(plain, "Minimal", 50);
    minimal.remove("kind");
    minimal.remove("isBuiltIn");
    writeRecord(signaturesDir(), upperId(plain), minimal);

    const QUuid noWidth = QUuid::createUuid();
    QJsonObject incomplete = recordObject(noWidth, "No width", 60);
    incomplete.remove("lastWidth");
    writeRecord(signaturesDir(), upperId(noWidth), incomplete);

    const QUuid badKind = QUuid::createUuid();
    QJsonObject wrongKind = recordObject(badKind, "Bad kind", 70);
    wrongKind["kind"] = "ink";
    writeRecord(signaturesDir(), upperId(badKind), wrongKind);

    const QUuid broken = QUuid::createUuid();
    writeBytes(file(signaturesDir(), broken, "json"), "{\"id\": ");

    // Records must be named by their own well-formed id: not another id, not a path that leaves
    // the folder, not the braced form, not the null UUID.
    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid();
    writeRecord(signaturesDir(), upperId(a), recordObject(b, "Mismatch", 1));
    QJsonObject escaping = recordObject(a, "Escape", 2);
    escaping["id"] = "../../Escape";
    writeRecord(signaturesDir(), "notes", escaping);
    QJsonObject braced = recordObject(b, "Braced", 3);
    braced["id"] = b.toString();
    writeRecord(signaturesDir(), b.toString(), braced);
    writeRecord(signaturesDir(), upperId(QUuid()), recordObject(QUuid(), "Null", 4));

    SignatureStorageService store(base.path());
    ASSERT_EQ(namesOf(store.signatures()), QStringList{"Minimal"});
    const StoredSignature& loaded = store.signatures().first();
    EXPECT_EQ(loaded.kind, SignatureKind::signature);
    EXPECT_TRUE(loaded.image.isNull());  // no PNG: listed without a picture
    EXPECT_TRUE(store.remove(plain));
}

TEST_F(SignatureStoreTest, LoadingSortsOldestFirstAndReadsPictures) {
    makeFolders();
    const QUuid newer = QUuid::createUuid(), older = QUuid::createUuid();
    writeRecord(signaturesDir(), upperId(newer), recordObject(newer, "Newer", 900.25));
    writeRecord(signaturesDir(), upperId(older), recordObject(older, "Older", 100.5));
    ASSERT_TRUE(sampleImage(30, 12).save(file(signaturesDir(), older, "png"), "PNG"));
    writeBytes(file(signaturesDir(), newer, "png"), "not an image at all");

    SignatureStorageService store(base.path());
    ASSERT_EQ(namesOf(store.signatures()), QStringList({"Older", "Newer"}));
    EXPECT_EQ(store.signatures()[0].image.pixelColor(0, 0), QColor(200, 100, 50));
    EXPECT_TRUE(store.signatures()[1].image.isNull());
}

TEST_F(SignatureStoreTest, SaveWritesRecordAndPictureAndSurvivesRestart) {
    SignatureStorageService store(base.path());
    QSignalSpy signaturesSpy(&store, &SignatureStorageService::signaturesChanged);
    QSignalSpy stampsSpy(&store, &SignatureStorageService::stampsChanged);
    const double before = StoredSignature::referenceSeconds(QDateTime::currentDateTimeUtc());

    const auto saved = store.save(sampleImage(), "My signature", SignatureKind::signature);
    ASSERT_TRUE(saved);
    EXPECT_EQ(signaturesSpy.count(), 1);
    EXPECT_EQ(stampsSpy.count(), 0);

    const QJsonObject record = readRecord(file(signaturesDir(), saved->id, "json"));
    EXPECT_EQ(record.keys(), QStringList({"createdAt", "id", "isBuiltIn", "kind", "lastHeight", "lastWidth", "name"}));
    EXPECT_EQ(record["id"].toString(), upperId(saved->id));
    EXPECT_EQ(record["kind"].toString(), "signature");
    EXPECT_NEAR(record["createdAt"].toDouble(), before, 5.0);  // seconds since 2001, not 1970

    const auto stamp = store.save(sampleImage(8, 8), "Logo", SignatureKind::stamp);
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stampsSpy.count(), 1);
    EXPECT_TRUE(QFileInfo::exists(file(stampsDir(), stamp->id, "png")));

    SignatureStorageService reopened(base.path());
    const auto found = reopened.find(saved->id);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "My signature");
    EXPECT_EQ(found->image.pixelColor(0, 0), QColor(200, 100, 50));
    EXPECT_EQ(reopened.stamps().last().id, stamp->id);

    // Without a picture only the record is written; saves in quick succession keep their order.
    const auto blank = store.save(QImage(), "Blank", SignatureKind::signature);
    ASSERT_TRUE(blank);
    EXPECT_FALSE(QFileInfo::exists(file(signaturesDir(), blank->id, "png")));
    QList<QUuid> ids{saved->id, blank->id};
    for (int i = 0; i < 10; ++i) ids << store.save(sampleImage(4, 4), QString::number(i), SignatureKind::signature)->id;
    const auto all = SignatureStorageService(base.path()).signatures();
    ASSERT_EQ(all.size(), 12);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(all[i].id, ids[i]) << i;
}

TEST_F(SignatureStoreTest, RenameAndResizeRewriteOnlyTheRecordAndRefuseNonsense) {
    SignatureStorageService store(base.path());
    const auto saved = store.save(sampleImage(), "Before", SignatureKind::signature);
    ASSERT_TRUE(saved);
    const QString png = file(signaturesDir(), saved->id, "png");
    // Put a marker in the PNG: a rewrite of it would remove the marker.
    {
        QFile f(png);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("MARK");
    }
    const QByteArray pngBytes = scrivola::testing::readBytes(png);

    EXPECT_TRUE(store.rename(saved->id, "  After  "));
    EXPECT_TRUE(store.updateLastSize(saved->id, 321.5, 99.25));
    EXPECT_EQ(scrivola::testing::readBytes(png), pngBytes);

    SignatureStorageService reopened(base.path());
    const auto found = reopened.find(saved->id);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "  After  ");
    EXPECT_DOUBLE_EQ(found->lastWidth, 321.5);
    EXPECT_DOUBLE_EQ(found->lastHeight, 99.25);

    // Sizes that are not finite and positive are refused.
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (const auto& [w, h] : {std::pair{nan, 10.0}, {10.0, inf}, {0.0, 10.0}, {10.0, -5.0}})
        EXPECT_FALSE(store.updateLastSize(saved->id, w, h));
    EXPECT_DOUBLE_EQ(SignatureStorageService(base.path()).find(saved->id)->lastWidth, 321.5);

    // Built-in stamps can be renamed and resized, not deleted.
    const StoredSignature approved = store.stamps().first();
    EXPECT_FALSE(store.remove(approved.id));
    EXPECT_TRUE(QFileInfo::exists(file(stampsDir(), approved.id, "png")));
    EXPECT_TRUE(store.updateLastSize(approved.id, 150, 60));
    EXPECT_TRUE(store.rename(approved.id, "OK"));
    EXPECT_EQ(SignatureStorageService(base.path()).find(approved.id)->name, "OK");
}

TEST_F(SignatureStoreTest, FailedWritesLeaveMemoryAndDiskConsistent) {
    SignatureStorageService store(base.path());
    const auto kept = store.save(sampleImage(), "Kept", SignatureKind::signature);
    ASSERT_TRUE(kept);

    // Record file replaced by a folder: rewriting it must fail and leave the item as it was.
    const QString json = file(signaturesDir(), kept->id, "json");
    ASSERT_TRUE(QFile::remove(json));
    ASSERT_TRUE(QDir().mkpath(json + "/inner"));
    EXPECT_FALSE(store.rename(kept->id, "Renamed"));
    EXPECT_FALSE(store.updateLastSize(kept->id, 500, 500));
    EXPECT_EQ(store.find(kept->id)->name, "Kept");
    EXPECT_EQ(store.find(kept->id)->lastWidth, 200);
    // ... and a record that cannot be removed keeps the item listed.
    EXPECT_FALSE(store.remove(kept->id));
    EXPECT_TRUE(store.find(kept->id));

    // Folder replaced by a plain file: nothing can be saved, nothing is listed.
    ASSERT_TRUE(QDir(stampsDir()).removeRecursively());
    writeBytes(stampsDir(), "in the way");
    QSignalSpy spy(&store, &SignatureStorageService::stampsChanged);
    EXPECT_FALSE(store.save(sampleImage(), "Lost", SignatureKind::stamp));
    EXPECT_EQ(store.stamps().size(), 5);
    EXPECT_EQ(spy.count(), 0);

    // A folder removed after start-up is created again on the next save.
    ASSERT_TRUE(QFile::remove(stampsDir()));
    EXPECT_TRUE(store.save(sampleImage(), "Back", SignatureKind::stamp));
}

TEST_F(SignatureStoreTest, LowerCaseFileNamesAreAcceptedAndKeptInPlace) {
    makeFolders();
    const QUuid id = QUuid::createUuid();
    const QString lower = upperId(id).toLower();
    QJsonObject record = recordObject(id, "Lower", 5);
    record["id"] = lower;
    writeRecord(signaturesDir(), lower, record);
    ASSERT_TRUE(sampleImage().save(signaturesDir() + "/" + lower + ".png", "PNG"));

    SignatureStorageService store(base.path());
    ASSERT_EQ(store.signatures().size(), 1);
    EXPECT_EQ(store.signatures().first().id, id);
    EXPECT_FALSE(store.signatures().first().image.isNull());

    // Rewrites go to the same file, so no second copy appears; removal deletes it.
    EXPECT_TRUE(store.rename(id, "Renamed"));
    EXPECT_EQ(QDir(signaturesDir()).entryList(QDir::Files).size(), 2);
    EXPECT_EQ(SignatureStorageService(base.path()).find(id)->name, "Renamed");
    EXPECT_TRUE(store.remove(id));
    EXPECT_TRUE(QDir(signaturesDir()).entryList(QDir::Files).isEmpty());
}

TEST_F(SignatureStoreTest, DuplicateIdsAndMisplacedKindsResolveToOneItemInItsFolder) {
    makeFolders();
    const QUuid id = QUuid::createUuid();
    writeRecord(signaturesDir(), upperId(id), recordObject(id, "First", 10, "stamp"));
    writeRecord(stampsDir(), upperId(id), recordObject(id, "Second", 11, "stamp"));

    SignatureStorageService store(base.path());
    ASSERT_EQ(store.signatures().size(), 1);
    EXPECT_EQ(store.signatures().first().name, "First");
    // The folder decides the kind, so the item can be removed where it lives.
    EXPECT_EQ(store.signatures().first().kind, SignatureKind::signature);
    for (const auto& stamp : store.stamps()) EXPECT_NE(stamp.id, id);
    EXPECT_TRUE(store.remove(id));
    EXPECT_FALSE(QFileInfo::exists(file(signaturesDir(), id, "json")));
}

TEST_F(SignatureStoreTest, OversizedRecordsAndPicturesAreRefused) {
    makeFolders();
    const QUuid big = QUuid::createUuid();
    QByteArray padded = QJsonDocument(recordObject(big, "Padded", 1)).toJson(QJsonDocument::Compact);
    padded.insert(1, QByteArray(SignatureStorageService::kMaxRecordBytes, ' '));
    writeBytes(file(signaturesDir(), big, "json"), padded);

    // 8001 × 8001 is just over 64 megapixels; 6000 × 6000 is under it, though it decodes to more
    // than Qt's default allocation limit (one bit per pixel keeps the files small).
    QImage tooLarge(8001, 8001, QImage::Format_Mono);
    ASSERT_FALSE(tooLarge.isNull());
    tooLarge.fill(0);
    QImage largest(6000, 6000, QImage::Format_Mono);
    largest.fill(1);
    const QUuid huge = QUuid::createUuid(), fits = QUuid::createUuid();
    writeRecord(signaturesDir(), upperId(huge), recordObject(huge, "Huge picture", 2));
    ASSERT_TRUE(tooLarge.save(file(signaturesDir(), huge, "png"), "PNG"));
    writeRecord(signaturesDir(), upperId(fits), recordObject(fits, "Large picture", 3));
    ASSERT_TRUE(largest.save(file(signaturesDir(), fits, "png"), "PNG"));

    SignatureStorageService store(base.path());
    ASSERT_EQ(namesOf(store.signatures()), QStringList({"Huge picture", "Large picture"}));
    EXPECT_TRUE(store.signatures()[0].image.isNull());
    EXPECT_EQ(store.signatures()[1].image.size(), QSize(6000, 6000));

    EXPECT_FALSE(store.save(tooLarge, "Too large", SignatureKind::stamp));
    EXPECT_EQ(store.stamps().size(), 5);
    EXPECT_EQ(QDir(stampsDir()).entryList(QDir::Files).size(), 10);
}

// Built-in stamps and the record format.
namespace {

// Bounds of the pixels at least half opaque inside `area`.
QRect opaqueBounds(const QImage& image, const QRect& area) {
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).alpha() >= 128) bounds |= QRect(x, y, 1, 1);
    return bounds;
}

}  // namespace

TEST(BuiltInStampsTest, DateHasDayAbbreviatedMonthAndYearInLocaleOrder) {
    const QDate day(2026, 3, 14);
    EXPECT_EQ(BuiltInStamps::formatStampDate(day, QLocale(QLocale::English, QLocale::UnitedStates)), "Mar 14, 2026");
    EXPECT_EQ(BuiltInStamps::formatStampDate(day, QLocale(QLocale::English, QLocale::UnitedKingdom)), "14 Mar 2026");
    for (const QLocale& locale : {QLocale(QLocale::German), QLocale(QLocale::French), QLocale(QLocale::Japanese),
                                  QLocale(QLocale::Arabic), QLocale::c()}) {
        const QString text = BuiltInStamps::formatStampDate(day, locale);
        SCOPED_TRACE(locale.name().toStdString() + ": " + text.toStdString());
        EXPECT_TRUE(text.contains(locale.toString(14)));
        EXPECT_TRUE(text.contains(locale.toString(2026).remove(locale.groupSeparator())));
        // No weekday: the text is no longer than day, full month name and year with separators.
        EXPECT_FALSE(text.contains(locale.dayName(6, QLocale::LongFormat)));
    }
    const auto stamps = BuiltInStamps::stamps(QDate(2026, 12, 7), QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_EQ(stamps.size(), 5);
    EXPECT_EQ(stamps[4].text, "SIGNED Dec 7, 2026");
}

TEST(BuiltInStampsTest, RenderingDrawsBorderAndCentredTextAtThreeTimesResolution) {
    const QColor green(52, 199, 89);
    const QImage image = BuiltInStamps::render("APPROVED", green, 28);
    ASSERT_FALSE(image.isNull());
    EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 216.0, 0.1);  // three pixels per point

    const int w = image.width(), h = image.height();
    // Transparent corners outside the rounded border, an opaque border at each edge.
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    for (const QPoint p : {QPoint(4, h / 2), QPoint(w - 5, h / 2), QPoint(w / 2, 4), QPoint(w / 2, h - 5)})
        EXPECT_EQ(image.pixelColor(p), green) << p.x() << "," << p.y();
    EXPECT_EQ(image.pixelColor(12, h / 2).alpha(), 0);  // inside the border, before the text

    // The text: 57 pixels (19 points) of room around its line on every side, centred.
    const QRect inner(14, 14, w - 28, h - 28);
    const QRect text = opaqueBounds(image, inner);
    ASSERT_TRUE(text.isValid());
    EXPECT_NEAR(text.center().x(), w / 2.0, 6);
    EXPECT_GT(text.height(), 40);  // capitals of an 84-pixel font
    EXPECT_GE(text.top(), 57);
    EXPECT_GE(h - 1 - text.bottom(), 57);
    EXPECT_LT(BuiltInStamps::render("APPROVED", green, 20).width(), w);  // a smaller font, a smaller stamp
    EXPECT_TRUE(BuiltInStamps::render("", green, 28).isNull());
}

TEST(StoredSignatureTest, RecordRoundTripsWithExactlyTheStoredKeys) {
    StoredSignature record;
    record.id = QUuid::createUuid();
    record.name = "Stamp \"quoted\" é";
    record.createdAt = 786543210.123456;
    record.lastWidth = 123.5;
    record.lastHeight = 45.25;
    record.kind = SignatureKind::stamp;
    record.isBuiltIn = true;

    const QByteArray bytes = record.toJsonBytes();
    EXPECT_EQ(QJsonDocument::fromJson(bytes).object()["kind"].toString(), "stamp");
    const auto decoded = StoredSignature::fromJsonBytes(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->id, record.id);
    EXPECT_EQ(decoded->name, record.name);
    EXPECT_EQ(decoded->createdAt, record.createdAt);  // exact: the double survives the text form
    EXPECT_EQ(decoded->lastHeight, 45.25);
    EXPECT_TRUE(decoded->kind == SignatureKind::stamp && decoded->isBuiltIn);
}

TEST(StoredSignatureTest, DecodingRejectsMissingOrMistypedFields) {
    const QUuid id = QUuid::createUuid();
    const QJsonObject good{{"id", StoredSignature::idText(id)}, {"name", "N"}, {"createdAt", 1.5},
                           {"lastWidth", 200},                  {"lastHeight", 80}};
    ASSERT_TRUE(StoredSignature::fromJson(good));
    for (const char* key : {"id", "name", "createdAt", "lastWidth", "lastHeight"}) {
        QJsonObject missing = good;
        missing.remove(key);
        EXPECT_FALSE(StoredSignature::fromJson(missing)) << key;
        QJsonObject mistyped = good;
        mistyped[key] = QJsonValue(true);
        EXPECT_FALSE(StoredSignature::fromJson(mistyped)) << key;
    }
    for (const QJsonValue& kind : {QJsonValue("Stamp"), QJsonValue(1), QJsonValue(QJsonValue::Null)}) {
        QJsonObject bad = good;
        bad["kind"] = kind;
        EXPECT_FALSE(StoredSignature::fromJson(bad));
    }
    for (const QString& text : {id.toString(), QString("not-a-uuid"), StoredSignature::idText(id) + "0"}) {
        QJsonObject badId = good;
        badId["id"] = text;
        EXPECT_FALSE(StoredSignature::fromJson(badId)) << text.toStdString();
    }
    EXPECT_FALSE(StoredSignature::fromJsonBytes("[]"));
    EXPECT_FALSE(StoredSignature::fromJsonBytes(""));
}

TEST(StoredSignatureTest, CreatedAtCountsSecondsFrom2001) {
    EXPECT_EQ(StoredSignature::dateTimeFromReferenceSeconds(0), QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
    const QDateTime moment(QDate(2026, 12, 5), QTime(16, 59, 0, 250), Qt::UTC);
    const double seconds = StoredSignature::referenceSeconds(moment);
    EXPECT_DOUBLE_EQ(seconds, 818182740.25);
    EXPECT_EQ(StoredSignature::dateTimeFromReferenceSeconds(seconds), moment);
    EXPECT_FALSE(StoredSignature::dateTimeFromReferenceSeconds(1e300).isValid());
}
