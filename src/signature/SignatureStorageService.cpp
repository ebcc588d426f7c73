#include "signature/SignatureStorageService.h"
#include "workspace/AtomicFile.h"

#include "signature/BuiltInStamps.h"

#include <QDateTime>
#include <QDir>
#include <QSignalBlocker>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QBuffer>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {

const QString kJsonSuffix = QStringLiteral("json");
const QString kPngSuffix = QStringLiteral(".png");

QString defaultBaseFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder;
}

// The whole file, or nothing when it cannot be read or is larger than maxBytes. The read is
// bounded so that a file growing behind our back cannot make us read without end.
std::optional<QByteArray> readBounded(const QString& path, qint64 maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    if (file.size() > maxBytes) return std::nullopt;
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes || file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

// The picture of an item; null when the file is missing, not an image, or too large. The size
// comes from the file header and is checked before any pixel is decoded.
QImage readImage(const QString& path, qint64 maxPixels) {
    if (!QFileInfo(path).isFile()) return {};
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > maxPixels) return {};
    // Room for maxPixels at four bytes each, above Qt's smaller default limit.
    reader.setAllocationLimit(int((maxPixels * 4 + (1 << 20) - 1) >> 20));
    return reader.read();
}

bool isTooLarge(const QImage& image, qint64 maxPixels) {
    return !image.isNull() && qint64(image.width()) * image.height() > maxPixels;
}

}  // namespace

SignatureStorageService::SignatureStorageService(const QString& baseFolder, QObject* parent) : QObject(parent) {
    const QString base = baseFolder.isEmpty() ? defaultBaseFolder() : baseFolder;
    signaturesDir_ = QDir::cleanPath(base + QStringLiteral("/Scrivola/Signatures"));
    stampsDir_ = QDir::cleanPath(base + QStringLiteral("/Scrivola/Stamps"));
    QDir().mkpath(signaturesDir_);
    QDir().mkpath(stampsDir_);
}

void SignatureStorageService::ensureLoaded() const {
    if (loaded_) return;
    auto* self = const_cast<SignatureStorageService*>(this);
    const QSignalBlocker quiet(self);
    self->loadAll();
    self->generateBuiltInStamps();
}

void SignatureStorageService::loadAll() {
    loaded_ = true;
    fileBaseNames_.clear();
    QSet<QUuid> seen;
    signatures_ = load(signaturesDir_, SignatureKind::signature, seen);
    stamps_ = load(stampsDir_, SignatureKind::stamp, seen);
    emit signaturesChanged();
    emit stampsChanged();
}

QList<StoredSignature> SignatureStorageService::load(const QString& folder, SignatureKind kind, QSet<QUuid>& seen) {
    QList<StoredSignature> result;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.suffix() != kJsonSuffix) continue;
        // Only files named by a well-formed id are records; the name is never trusted further.
        const QString baseName = entry.completeBaseName();
        const QUuid fileId = StoredSignature::parseId(baseName);
        if (fileId.isNull() || seen.contains(fileId)) continue;

        const auto bytes = readBounded(entry.filePath(), kMaxRecordBytes);
        if (!bytes) continue;
        auto record = StoredSignature::fromJsonBytes(*bytes);
        if (!record || record->id != fileId) continue;

        // The folder decides the kind, so that later writes and removals find the same files.
        record->kind = kind;
        record->image = readImage(folder + QLatin1Char('/') + baseName + kPngSuffix, kMaxImagePixels);
        if (baseName != record->idText()) fileBaseNames_.insert(fileId, baseName);
        seen.insert(fileId);
        result.append(std::move(*record));
    }
    std::stable_sort(result.begin(), result.end(),
                     [](const StoredSignature& a, const StoredSignature& b) { return a.createdAt < b.createdAt; });
    return result;
}

void SignatureStorageService::generateBuiltInStamps() {
    const QStringList& builtInNames = BuiltInStamps::names();

    // Stamps made by the user under a built-in name before the built-ins existed become built in.
    bool migrated = false;
    for (StoredSignature& stamp : stamps_) {
        if (stamp.isBuiltIn || !builtInNames.contains(stamp.name)) continue;
        stamp.isBuiltIn = true;
        writeRecord(stamp);  // on failure the next start migrates it again
        migrated = true;
    }
    if (migrated) emit stampsChanged();

    QSet<QString> present;
    for (const StoredSignature& stamp : stamps_)
        if (stamp.isBuiltIn) present.insert(stamp.name);

    for (const BuiltInStamp& stamp : BuiltInStamps::stamps()) {
        if (present.contains(stamp.name)) continue;
        const QImage image = BuiltInStamps::render(stamp);
        if (image.isNull()) continue;
        save(image, stamp.name, SignatureKind::stamp, true);
    }
}

std::optional<StoredSignature> SignatureStorageService::save(const QImage& image, const QString& name,
                                                             SignatureKind kind, bool isBuiltIn) {
    ensureLoaded();
    if (isTooLarge(image, kMaxImagePixels)) return std::nullopt;

    StoredSignature record;
    record.id = QUuid::createUuid();
    record.name = name;
    record.createdAt = nextCreatedAt();
    record.kind = kind;
    record.isBuiltIn = isBuiltIn;
    record.image = image;

    QDir().mkpath(folderFor(kind));
    if (!record.image.isNull() && !writeImage(record)) return std::nullopt;
    if (!writeRecord(record)) {
        QFile::remove(basePath(record) + kPngSuffix);
        return std::nullopt;
    }

    (kind == SignatureKind::stamp ? stamps_ : signatures_).append(record);
    notify(kind);
    return record;
}

bool SignatureStorageService::remove(const QUuid& id) {
    const Location location = locate(id);
    if (!location || location.item().isBuiltIn) return false;
    const StoredSignature item = location.item();
    const QString base = basePath(item);

    // The record decides whether the item exists; once it is gone, a leftover PNG is harmless.
    const QString recordPath = base + QLatin1Char('.') + kJsonSuffix;
    if (QFileInfo::exists(recordPath) && !QFile::remove(recordPath)) return false;
    QFile::remove(base + kPngSuffix);

    location.list->removeAt(location.index);
    fileBaseNames_.remove(id);
    notify(item.kind);
    return true;
}

bool SignatureStorageService::rename(const QUuid& id, const QString& newName) {
    const Location location = locate(id);
    if (!location) return false;
    StoredSignature updated = location.item();
    updated.name = newName;
    if (!writeRecord(updated)) return false;
    location.item() = std::move(updated);
    notify(location.item().kind);
    return true;
}

bool SignatureStorageService::updateLastSize(const QUuid& id, double width, double height) {
    // A record with a non-finite size could not be written as JSON and would be lost on reload.
    if (!std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0) return false;
    const Location location = locate(id);
    if (!location) return false;
    StoredSignature updated = location.item();
    updated.lastWidth = width;
    updated.lastHeight = height;
    if (!writeRecord(updated)) return false;
    location.item() = std::move(updated);
    notify(location.item().kind);
    return true;
}

std::optional<StoredSignature> SignatureStorageService::find(const QUuid& id) const {
    ensureLoaded();
    for (const QList<StoredSignature>* list : {&signatures_, &stamps_})
        for (const StoredSignature& item : *list)
            if (item.id == id) return item;
    return std::nullopt;
}

SignatureStorageService::Location SignatureStorageService::locate(const QUuid& id) {
    ensureLoaded();
    for (QList<StoredSignature>* list : {&signatures_, &stamps_})
        for (int i = 0; i < list->size(); ++i)
            if (list->at(i).id == id) return Location{list, i};
    return {};
}

void SignatureStorageService::notify(SignatureKind kind) {
    if (kind == SignatureKind::stamp)
        emit stampsChanged();
    else
        emit signaturesChanged();
}

double SignatureStorageService::nextCreatedAt() const {
    // Strictly after every item already listed, so that the order of saving survives a reload
    // even when two saves fall within the same millisecond.
    double createdAt = StoredSignature::referenceSeconds(QDateTime::currentDateTimeUtc());
    for (const QList<StoredSignature>* list : {&signatures_, &stamps_})
        for (const StoredSignature& item : *list)
            if (item.createdAt >= createdAt) createdAt = item.createdAt + 0.001;
    return createdAt;
}

const QString& SignatureStorageService::folderFor(SignatureKind kind) const {
    return kind == SignatureKind::signature ? signaturesDir_ : stampsDir_;
}

QString SignatureStorageService::basePath(const StoredSignature& item) const {
    return folderFor(item.kind) + QLatin1Char('/') + fileBaseNames_.value(item.id, item.idText());
}

bool SignatureStorageService::writeImage(const StoredSignature& item) const {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!item.image.save(&buffer, "PNG")) return false;
    return writeFileAtomically(basePath(item) + kPngSuffix, png);
}

bool SignatureStorageService::writeRecord(const StoredSignature& item) const {
    return writeFileAtomically(basePath(item) + QLatin1Char('.') + kJsonSuffix, item.toJsonBytes());
}

}  // namespace scrivola
