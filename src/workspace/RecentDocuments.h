#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace scrivola {

// The recently opened documents, newest first, kept in the settings under "recentDocuments":
// no file twice (by canonical path), at most kMaximum entries, files that no longer exist left out.
// Noting a file also adds it to the desktop's recently-used list when a desktop file is given.
class RecentDocuments : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaximum = 20;
    static inline const QString kSettingsKey = QStringLiteral("recentDocuments");

    // settings: the store to use (not owned); nullptr for the application's default settings.
    // desktopListFile: the desktop's recently-used file (see RecentlyUsedXbel); empty for none.
    explicit RecentDocuments(QSettings* settings = nullptr, const QString& desktopListFile = {}, QObject* parent = nullptr);
    ~RecentDocuments() override;

    // Puts the file at the top of the list.
    void note(const QString& path);
    // Notes the files in order (the last one ends on top) with one write of each list.
    void note(const QStringList& paths);
    // Existing files, newest first. Entries of missing files are dropped from the store as well.
    QStringList list();
    void clear();

signals:
    void changed();

private:
    QStringList stored() const;
    void store(const QStringList& paths);

    QSettings* settings_;
    std::unique_ptr<QSettings> ownSettings_;
    QString desktopListFile_;
};

}  // namespace scrivola
