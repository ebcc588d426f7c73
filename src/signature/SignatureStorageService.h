#pragma once

#include "signature/StoredSignature.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>

namespace scrivola {

// The user's handwritten signatures and image stamps, on disk and in memory. One per window's
// service container, shared by its PDF tabs. Items live in baseFolder + "/Scrivola/Signatures" and
// "/Scrivola/Stamps", each as "<ID>.json" plus "<ID>.png". Construction creates the folders; the
// first use loads both lists (oldest first) and generates the built-in stamps that are missing.
//
// Every change is written at once. Files are replaced atomically (PNG first, record last), so an
// interrupted write never leaves a half item; an operation whose write fails leaves the in-memory
// lists as they were and reports false / nothing.
class SignatureStorageService : public QObject {
    Q_OBJECT
public:
    // Limits on what loading accepts.
    static constexpr qint64 kMaxRecordBytes = 1024 * 1024;
    static constexpr qint64 kMaxImagePixels = 64LL * 1000 * 1000;

    // baseFolder: empty for the user's application-data folder (the temporary folder if there is none).
    explicit SignatureStorageService(const QString& baseFolder = {}, QObject* parent = nullptr);

    // The folders are read on first use, not at construction: starting the application with a
    // document to show does not wait for the pictures of the store.
    const QList<StoredSignature>& signatures() const { ensureLoaded(); return signatures_; }
    const QList<StoredSignature>& stamps() const { ensureLoaded(); return stamps_; }
    const QString& signaturesDir() const { return signaturesDir_; }
    const QString& stampsDir() const { return stampsDir_; }

    // Adds a new item at the end of its list (fresh id, created now, last size 200 × 80) and writes
    // it. Nothing when the image is larger than kMaxImagePixels or the files cannot be written.
    std::optional<StoredSignature> save(const QImage& image, const QString& name, SignatureKind kind,
                                        bool isBuiltIn = false);
    // Removes a non-built-in item and its files. False for built-ins, unknown ids, or when the
    // record file cannot be removed (the item then stays listed).
    bool remove(const QUuid& id);
    // Renames an item (built-ins included; the name is kept as given) and rewrites its record.
    bool rename(const QUuid& id, const QString& newName);
    // Remembers the size (points) at which an item was last placed. Refuses sizes that are not
    // positive finite numbers.
    bool updateLastSize(const QUuid& id, double width, double height);
    // Looks in signatures(), then in stamps().
    std::optional<StoredSignature> find(const QUuid& id) const;

    // Re-reads both folders (what construction does before generating built-ins).
    void loadAll();

signals:
    void signaturesChanged();
    void stampsChanged();

private:
    struct Location {
        QList<StoredSignature>* list = nullptr;
        int index = -1;
        explicit operator bool() const { return list != nullptr; }
        StoredSignature& item() const { return (*list)[index]; }
    };

    // Reads both folders and generates missing built-ins once, without change notices.
    void ensureLoaded() const;
    QList<StoredSignature> load(const QString& folder, SignatureKind kind, QSet<QUuid>& seen);
    void generateBuiltInStamps();
    Location locate(const QUuid& id);
    void notify(SignatureKind kind);
    double nextCreatedAt() const;

    const QString& folderFor(SignatureKind kind) const;
    QString basePath(const StoredSignature& item) const;
    bool writeImage(const StoredSignature& item) const;
    bool writeRecord(const StoredSignature& item) const;

    QString signaturesDir_;
    QString stampsDir_;
    QList<StoredSignature> signatures_;
    QList<StoredSignature> stamps_;
    // File base names found on disk that differ from the canonical upper-case id text.
    QHash<QUuid, QString> fileBaseNames_;
    bool loaded_ = false;
};

}  // namespace scrivola
