#pragma once

#include <QColor>
#include <QDate>
#include <QImage>
#include <QList>
#include <QLocale>
#include <QString>

namespace scrivola {

// The text stamps the signature store generates on first use.
struct BuiltInStamp {
    QString name;   // fixed name in the store
    QString text;   // text drawn in the stamp
    QColor color;
    qreal fontSize;  // points at final size
};

namespace BuiltInStamps {

// Resolution factor of rendered stamps: the image has 3 pixels per point.
constexpr int kScale = 3;

// The five built-in names, in generation order: APPROVED, REJECTED, DRAFT, CONFIDENTIAL, Signed (Date).
const QStringList& names();
inline const QString& datedStampName() { return names().last(); }

// The five stamps for a given day; the last one's text is "SIGNED " plus that day's date.
QList<BuiltInStamp> stamps(const QDate& today = QDate::currentDate(), const QLocale& locale = QLocale());

// The day with its number, abbreviated month and year, ordered as the locale orders dates
// (e.g. "Dec 7, 2026" in US English, "7 Dec 2026" in British English).
QString formatStampDate(const QDate& date, const QLocale& locale = QLocale());

// Renders a stamp at kScale pixels per point: the text in the bold system font, centred in a
// rounded border (3 points wide, 6-point corners, 1.5 points in from the edge) with 19 points
// of room on every side of the text. Transparent background; the image's DPI makes its point size
// the pixel size divided by kScale. A null image when nothing can be drawn.
QImage render(const QString& text, const QColor& color, qreal fontSize);
inline QImage render(const BuiltInStamp& stamp) { return render(stamp.text, stamp.color, stamp.fontSize); }

}  // namespace BuiltInStamps

}  // namespace scrivola
