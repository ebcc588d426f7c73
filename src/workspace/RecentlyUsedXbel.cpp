#include "workspace/RecentlyUsedXbel.h"
#include "workspace/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace scrivola::RecentlyUsedXbel {
namespace {

const QString kBookmarkNs = QStringLiteral("http://www.freedesktop.org/standards/desktop-bookmarks");
const QString kMimeNs = QStringLiteral("http://www.freedesktop.org/standards/shared-mime-info");

QString timestamp() { return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'000Z'")); }

void writeApplication(QXmlStreamWriter& w, const QString& appName, const QString& exec, const QString& now, int count) {
    w.writeEmptyElement(kBookmarkNs, QStringLiteral("application"));
    w.writeAttribute(QStringLiteral("name"), appName);
    w.writeAttribute(QStringLiteral("exec"), exec);
    w.writeAttribute(QStringLiteral("modified"), now);
    w.writeAttribute(QStringLiteral("count"), QString::number(count));
}

void writeBookmark(QXmlStreamWriter& w, const QString& href, const QString& mimeType, const QString& appName,
                   const QString& exec, const QString& now) {
    w.writeStartElement(QStringLiteral("bookmark"));
    w.writeAttribute(QStringLiteral("href"), href);
    w.writeAttribute(QStringLiteral("added"), now);
    w.writeAttribute(QStringLiteral("modified"), now);
    w.writeAttribute(QStringLiteral("visited"), now);
    w.writeStartElement(QStringLiteral("info"));
    w.writeStartElement(QStringLiteral("metadata"));
    w.writeAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    w.writeEmptyElement(kMimeNs, QStringLiteral("mime-type"));
    w.writeAttribute(QStringLiteral("type"), mimeType);
    w.writeStartElement(kBookmarkNs, QStringLiteral("applications"));
    writeApplication(w, appName, exec, now, 1);
    w.writeEndElement();  // applications
    w.writeEndElement();  // metadata
    w.writeEndElement();  // info
    w.writeEndElement();  // bookmark
}

// Attributes of the element being read, with the named ones replaced.
QXmlStreamAttributes replaced(const QXmlStreamAttributes& attributes, const QList<QPair<QString, QString>>& values) {
    QXmlStreamAttributes result;
    for (const auto& a : attributes) {
        bool skip = false;
        for (const auto& v : values)
            if (a.namespaceUri().isEmpty() && a.name() == v.first) skip = true;
        if (!skip) result.append(a);
    }
    for (const auto& v : values) result.append(v.first, v.second);
    return result;
}

}  // namespace

QString defaultFile() {
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty() || !QDir::isAbsolutePath(dataHome)) dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    return dataHome + QStringLiteral("/recently-used.xbel");
}

bool add(const QString& xbelFile, const QString& path, const QString& mimeType, const QString& appName, const QString& exec) {
    if (path.isEmpty()) return false;
    return add(xbelFile, {{path, mimeType}}, appName, exec);
}

bool add(const QString& xbelFile, const QList<QPair<QString, QString>>& files, const QString& appName, const QString& exec) {
    // The files' addresses in order, each once, with their types.
    QStringList hrefs;
    QHash<QString, QString> mimeTypes;
    for (const auto& [path, mimeType] : files) {
        if (path.isEmpty()) continue;
        const QString href = QString::fromLatin1(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded());
        if (!mimeTypes.contains(href)) hrefs << href;
        mimeTypes.insert(href, mimeType);
    }
    if (xbelFile.isEmpty() || hrefs.isEmpty()) return false;
    const QString now = timestamp();

    QByteArray existing;
    if (QFileInfo::exists(xbelFile)) {
        QFile in(xbelFile);
        if (!in.open(QIODevice::ReadOnly)) return false;
        existing = in.readAll();
    }

    QByteArray output;
    QXmlStreamWriter w(&output);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(2);

    if (existing.trimmed().isEmpty()) {
        w.writeStartDocument();
        w.writeStartElement(QStringLiteral("xbel"));
        w.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        w.writeNamespace(kBookmarkNs, QStringLiteral("bookmark"));
        w.writeNamespace(kMimeNs, QStringLiteral("mime"));
        for (const QString& href : std::as_const(hrefs)) writeBookmark(w, href, mimeTypes.value(href), appName, exec, now);
        w.writeEndElement();
        w.writeEndDocument();
    } else {
        QXmlStreamReader r(existing);
        int depth = 0;
        bool sawRoot = false;
        QSet<QString> bookmarksFound;
        int ourBookmarkDepth = -1;     // depth of our bookmark element while inside it
        int applicationsDepth = -1;    // depth of its applications element while inside it
        bool applicationFound = false;
        while (!r.atEnd()) {
            r.readNext();
            if (r.hasError()) return false;
            switch (r.tokenType()) {
            case QXmlStreamReader::StartElement: {
                ++depth;
                if (depth == 1) {
                    if (r.name() != QLatin1String("xbel") || !r.namespaceUri().isEmpty()) return false;
                    sawRoot = true;
                }
                if (depth == 2 && r.name() == QLatin1String("bookmark") && r.namespaceUri().isEmpty() &&
                    mimeTypes.contains(r.attributes().value(QLatin1String("href")).toString()) &&
                    !bookmarksFound.contains(r.attributes().value(QLatin1String("href")).toString())) {
                    bookmarksFound.insert(r.attributes().value(QLatin1String("href")).toString());
                    ourBookmarkDepth = depth;
                    applicationFound = false;
                    w.writeStartElement(QStringLiteral("bookmark"));
                    for (const auto& ns : r.namespaceDeclarations()) w.writeNamespace(ns.namespaceUri().toString(), ns.prefix().toString());
                    w.writeAttributes(replaced(r.attributes(), {{QStringLiteral("modified"), now}, {QStringLiteral("visited"), now}}));
                    break;
                }
                if (ourBookmarkDepth >= 0 && r.namespaceUri() == kBookmarkNs && r.name() == QLatin1String("applications")) {
                    applicationsDepth = depth;
                } else if (applicationsDepth >= 0 && depth == applicationsDepth + 1 && r.namespaceUri() == kBookmarkNs &&
                           r.name() == QLatin1String("application") &&
                           r.attributes().value(QLatin1String("name")) == appName && !applicationFound) {
                    applicationFound = true;
                    const int count = r.attributes().value(QLatin1String("count")).toInt() + 1;
                    w.writeStartElement(kBookmarkNs, QStringLiteral("application"));
                    w.writeAttributes(replaced(r.attributes(), {{QStringLiteral("modified"), now},
                                                                {QStringLiteral("count"), QString::number(count)}}));
                    break;
                }
                w.writeCurrentToken(r);
                break;
            }
            case QXmlStreamReader::EndElement:
                if (depth == applicationsDepth) {
                    if (!applicationFound) writeApplication(w, appName, exec, now, 1);
                    applicationFound = true;
                    applicationsDepth = -1;
                }
                if (depth == ourBookmarkDepth) ourBookmarkDepth = -1;
                if (depth == 1)
                    for (const QString& href : std::as_const(hrefs))
                        if (!bookmarksFound.contains(href)) writeBookmark(w, href, mimeTypes.value(href), appName, exec, now);
                --depth;
                w.writeCurrentToken(r);
                break;
            case QXmlStreamReader::Characters:
                // Whitespace between elements is re-indented by the writer.
                if (!r.isWhitespace()) w.writeCurrentToken(r);
                break;
            default:
                w.writeCurrentToken(r);
                break;
            }
        }
        if (r.hasError() || !sawRoot || depth != 0) return false;
    }

    const QFileInfo target(xbelFile);
    if (!QDir().mkpath(target.absolutePath())) return false;
    return writeFileAtomically(xbelFile, output);
}

}  // namespace scrivola::RecentlyUsedXbel
