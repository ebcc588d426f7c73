#include "signature/BuiltInStamps.h"
#include "signature/StoredSignature.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cmath>

using namespace scrivola;

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
