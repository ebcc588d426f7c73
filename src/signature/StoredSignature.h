#pragma once

#include <QDateTime>
#include <QImage>
#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <optional>

namespace scrivola {

// Which list and folder of the signature store an item belongs to.
enum class SignatureKind { signature, stamp };

QString rawValue(SignatureKind kind);
std::optional<SignatureKind> signatureKindFromRawValue(const QString& raw);

// One item of the signature store: a handwritten signature or an image stamp.
// On disk it is a JSON record plus a PNG, both named by idText().
struct StoredSignature {
    static constexpr double defaultWidth = 200;
    static constexpr double defaultHeight = 80;

    QUuid id;
    QString name;
    double createdAt = 0;  // seconds since 2001-01-01T00:00:00Z, fractional
    double lastWidth = defaultWidth;    // points, size at which it was last placed
    double lastHeight = defaultHeight;  // points
    SignatureKind kind = SignatureKind::signature;
    bool isBuiltIn = false;
    QImage image;  // not part of the record file; null when the PNG is missing or unreadable

    // The upper-case 8-4-4-4-12 text form of id: the base name of both files.
    QString idText() const { return idText(id); }
    static QString idText(const QUuid& id);
    // Parses the plain 8-4-4-4-12 form (any case, no braces); a null UUID for anything else.
    static QUuid parseId(const QString& text);

    QDateTime createdAtDateTime() const { return dateTimeFromReferenceSeconds(createdAt); }
    static double referenceSeconds(const QDateTime& dateTime);
    static QDateTime dateTimeFromReferenceSeconds(double seconds);

    // The record as stored: "id", "name", "createdAt", "lastWidth", "lastHeight", "kind", "isBuiltIn".
    QJsonObject toJson() const;
    QByteArray toJsonBytes() const;
    // Decodes a record; "kind" and "isBuiltIn" may be missing (signature, false). Any required
    // field missing or of the wrong type, an invalid id or an unknown kind gives nothing.
    static std::optional<StoredSignature> fromJson(const QJsonObject& object);
    static std::optional<StoredSignature> fromJsonBytes(const QByteArray& bytes);
};

}  // namespace scrivola
