#include "signature/BuiltInStamps.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <cmath>

namespace scrivola::BuiltInStamps {

namespace {
// Named system colours in sRGB.
const QColor kGreen(52, 199, 89);
const QColor kRed(255, 59, 48);
const QColor kGray(142, 142, 147);
const QColor kBlue(0, 122, 255);

// Canvas geometry, in pixels at kScale.
constexpr qreal kPadding = 96 + 18;  // 38 points around the text in total
constexpr qreal kBorderInset = 4.5;
constexpr qreal kBorderWidth = 9;
constexpr qreal kCornerRadius = 18;
}  // namespace

const QStringList& names() {
    static const QStringList list = {QStringLiteral("APPROVED"), QStringLiteral("REJECTED"), QStringLiteral("DRAFT"),
                                     QStringLiteral("CONFIDENTIAL"), QStringLiteral("Signed (Date)")};
    return list;
}

QList<BuiltInStamp> stamps(const QDate& today, const QLocale& locale) {
    const QStringList& n = names();
    return {
        {n[0], QStringLiteral("APPROVED"), kGreen, 28},
        {n[1], QStringLiteral("REJECTED"), kRed, 28},
        {n[2], QStringLiteral("DRAFT"), kGray, 28},
        {n[3], QStringLiteral("CONFIDENTIAL"), kRed, 22},
        {n[4], QStringLiteral("SIGNED ") + formatStampDate(today, locale), kBlue, 20},
    };
}

QString formatStampDate(const QDate& date, const QLocale& locale) {
    // Derive the order and separators from the locale's long date format, without the weekday
    // and with the month abbreviated.
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.\\s]*|[,\\s]*d{4}"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    format = format.trimmed();
    const bool complete = format.contains(QLatin1Char('d')) && format.contains(QLatin1Char('M')) &&
                          format.contains(QLatin1Char('y'));
    if (!complete) format = QStringLiteral("d MMM yyyy");
    return locale.toString(date, format);
}

QImage render(const QString& text, const QColor& color, qreal fontSize) {
    if (text.isEmpty() || !(fontSize > 0) || !color.isValid()) return {};
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setBold(true);
    font.setPixelSize(std::max(1, int(std::lround(fontSize * kScale))));
    const QFontMetricsF metrics(font);
    const qreal textWidth = metrics.horizontalAdvance(text);
    const qreal textHeight = metrics.height();

    const QSize canvas(int(std::ceil(textWidth + kPadding)), int(std::ceil(textHeight + kPadding)));
    QImage image(canvas, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return {};
    image.fill(Qt::transparent);
    // kScale pixels per point: 72 × kScale dots per inch.
    const int dotsPerMeter = int(std::lround(72.0 * kScale / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);

    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QPen pen(color, kBorderWidth);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF border = QRectF(QPointF(0, 0), QSizeF(canvas)).adjusted(kBorderInset, kBorderInset, -kBorderInset, -kBorderInset);
    painter.drawRoundedRect(border, kCornerRadius, kCornerRadius);

    // The text as an outline rather than through the glyph cache, so the same stamp always
    // renders to the same pixels (cached glyphs antialias slightly differently from first draws).
    const qreal x = (canvas.width() - textWidth) / 2;
    const qreal top = (canvas.height() - textHeight) / 2;
    QPainterPath glyphs;
    glyphs.addText(QPointF(x, top + metrics.ascent()), font, text);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(glyphs);
    painter.end();
    return image;
}

}  // namespace scrivola::BuiltInStamps
