#include "signature/StoredSignature.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>

#include <cmath>

namespace scrivola {

namespace {
// 2001-01-01T00:00:00Z in milliseconds since the Unix epoch.
constexpr qint64 kReferenceDateMSecs = 978307200000LL;
}  // namespace

QString rawValue(SignatureKind kind) {
    return kind == SignatureKind::stamp ? QStringLiteral("stamp") : QStringLiteral("signature");
}

std::optional<SignatureKind> signatureKindFromRawValue(const QString& raw) {
    if (raw == QLatin1String("signature")) return SignatureKind::signature;
    if (raw == QLatin1String("stamp")) return SignatureKind::stamp;
    return std::nullopt;
}

QString StoredSignature::idText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

QUuid StoredSignature::parseId(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!pattern.match(text).hasMatch()) return {};
    return QUuid::fromString(text);
}

double StoredSignature::referenceSeconds(const QDateTime& dateTime) {
    return double(dateTime.toMSecsSinceEpoch() - kReferenceDateMSecs) / 1000.0;
}

QDateTime StoredSignature::dateTimeFromReferenceSeconds(double seconds) {
    // About three million years either way: far beyond any real record, well inside qint64 milliseconds.
    if (!std::isfinite(seconds) || std::abs(seconds) > 1e14) return {};
    return QDateTime::fromMSecsSinceEpoch(kReferenceDateMSecs + qint64(std::llround(seconds * 1000.0)), Qt::UTC);
}

QJsonObject StoredSignature::toJson() const {
    return QJsonObject{
        {QStringLiteral("id"), idText()},
        {QStringLiteral("name"), name},
        {QStringLiteral("createdAt"), createdAt},
        {QStringLiteral("lastWidth"), lastWidth},
        {QStringLiteral("lastHeight"), lastHeight},
        {QStringLiteral("kind"), rawValue(kind)},
        {QStringLiteral("isBuiltIn"), isBuiltIn},
    };
}

QByteArray StoredSignature::toJsonBytes() const { return QJsonDocument(toJson()).toJson(QJsonDocument::Compact); }

std::optional<StoredSignature> StoredSignature::fromJson(const QJsonObject& object) {
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue name = object.value(QStringLiteral("name"));
    const QJsonValue createdAt = object.value(QStringLiteral("createdAt"));
    const QJsonValue lastWidth = object.value(QStringLiteral("lastWidth"));
    const QJsonValue lastHeight = object.value(QStringLiteral("lastHeight"));
    if (!id.isString() || !name.isString() || !createdAt.isDouble() || !lastWidth.isDouble() || !lastHeight.isDouble())
        return std::nullopt;

    StoredSignature record;
    record.id = parseId(id.toString());
    if (record.id.isNull()) return std::nullopt;
    record.name = name.toString();
    record.createdAt = createdAt.toDouble();
    record.lastWidth = lastWidth.toDouble();
    record.lastHeight = lastHeight.toDouble();

    const QJsonValue kind = object.value(QStringLiteral("kind"));
    if (!kind.isUndefined()) {
        const auto parsed = kind.isString() ? signatureKindFromRawValue(kind.toString()) : std::nullopt;
        if (!parsed) return std::nullopt;
        record.kind = *parsed;
    }
    const QJsonValue isBuiltIn = object.value(QStringLiteral("isBuiltIn"));
    if (!isBuiltIn.isUndefined()) {
        if (!isBuiltIn.isBool()) return std::nullopt;
        record.isBuiltIn = isBuiltIn.toBool();
    }
    return record;
}

std::optional<StoredSignature> StoredSignature::fromJsonBytes(const QByteArray& bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return fromJson(document.object());
}

}  // namespace scrivola
