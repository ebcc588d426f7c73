// Exporting images of a collection to new files, and printing them one image per page.

#include "image/ImageDocumentContext.h"
#include "image/ImageExportPresenter.h"
#include "image/codec/ImageCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSet>

#include <set>

namespace scrivola {

namespace {

// The identity of a file path: canonical when the file exists (links resolved), else absolute.
QString pathKey(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.exists() ? info.canonicalFilePath() : QString();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

// "name.ext", else "name 2.ext", "name 3.ext", ... : the first whose path is not in `avoid`.
QString uniquePath(const QString& folder, const QString& baseName, const QString& extension, const QSet<QString>& avoid) {
    const QDir dir(folder);
    QString candidate = dir.filePath(baseName + u'.' + extension);
    for (int n = 2; avoid.contains(pathKey(candidate)); ++n)
        candidate = dir.filePath(QStringLiteral("%1 %2.%3").arg(baseName).arg(n).arg(extension));
    return candidate;
}

QString baseNameOf(const QString& url) { return QFileInfo(url).completeBaseName(); }

// Writing an exported image fails as a save of the model; the user is told it as an export.
DocumentError exportError(const DocumentError& error) {
    return error.kind() == DocumentError::Kind::saveFailed ? DocumentError::exportFailed(error.payload()) : error;
}

bool isExportExtension(const QString& extension) {
    return extension == u"jpeg" || extension == u"png" || extension == u"tiff";
}

}  // namespace

void ImageDocumentContext::exportImages(const std::set<int>& indices) {
    if (indices.empty() || !exportPresenter_ || !model_) return;
    const auto extension = exportPresenter_->chooseFormat(int(indices.size()));
    if (!extension || !isExportExtension(*extension)) return;

    // Exports never overwrite the collection's own files.
    QSet<QString> avoid;
    for (const ImageEntry& entry : model_->entries()) avoid.insert(pathKey(entry.url));
    const auto& entries = model_->entries();
    const auto hasEntry = [&](int index) { return index >= 0 && index < entries.size(); };

    if (indices.size() == 1) {
        const int index = *indices.begin();
        const QString base = hasEntry(index) ? baseNameOf(entries[index].url) : QStringLiteral("image");
        QString target = exportPresenter_->chooseSaveLocation(base + u'.' + *extension);
        if (target.isEmpty()) return;
        if (avoid.contains(pathKey(target))) {
            const QFileInfo chosen(target);
            const QString suffix = chosen.suffix().isEmpty() ? *extension : chosen.suffix();
            target = uniquePath(chosen.absolutePath(), chosen.completeBaseName(), suffix, avoid);
        }
        try {
            model_->saveImage(index, target);
        } catch (const DocumentError& error) {
            // A failed write leaves no file behind (atomic writes).
            emit failureReported(exportError(error).errorDescription());
        }
        return;
    }

    const QString folder = exportPresenter_->chooseFolder();
    if (folder.isEmpty()) return;
    int failures = 0;
    QString firstFailure;
    for (const int index : indices) {  // ascending
        if (!hasEntry(index)) continue;
        // Two images of the same name (a.png, a.jpg) get "a.jpeg" and "a 2.jpeg".
        const QString target = uniquePath(folder, baseNameOf(model_->entries()[index].url), *extension, avoid);
        avoid.insert(pathKey(target));
        try {
            model_->saveImage(index, target);
        } catch (const DocumentError& error) {
            // The other images are still exported; the first failure is told with the count.
            if (failures++ == 0) firstFailure = exportError(error).errorDescription();
        }
    }
    if (failures == 1) emit failureReported(firstFailure);
    if (failures > 1) emit failureReported(QStringLiteral("%1 (%2 images not exported)").arg(firstFailure).arg(failures));
}

void ImageDocumentContext::printImage() {
    if (!printPresenter_ || !model_) return;
    QList<int> indices;
    if (selectedImages_.isEmpty()) {
        for (int i = 0; i < model_->count(); ++i) indices << i;
    } else {
        for (const int i : selectedImages_)
            if (i >= 0 && i < model_->count()) indices << i;
        std::sort(indices.begin(), indices.end());
    }
    if (indices.isEmpty()) return;

    QPagedPaintDevice* device = printPresenter_->beginPrinting(int(indices.size()));
    if (!device) return;
    QPainter painter;
    if (!painter.begin(device)) {
        printPresenter_->endPrinting(false);
        emit failureReported(printFailureMessage(model_->displayName()));
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    bool first = true;
    bool completed = true;
    for (const int index : indices) {
        // One image in memory at a time.
        const QImage image = ImageCodec::toDisplayColorSpace(model_->image(index));
        if (image.isNull()) continue;  // undecodable: no page
        if (!first && !device->newPage()) {
            completed = false;
            break;
        }
        first = false;
        const QSizeF page(device->width(), device->height());
        painter.drawImage(ImagePrintGeometry::imageRect(0, ImageDrawing::pointSize(image), page), image);
    }
    if (!painter.end()) completed = false;
    printPresenter_->endPrinting(completed && !first);
    if (!completed || first) emit failureReported(printFailureMessage(model_->displayName()));
}

}  // namespace scrivola
