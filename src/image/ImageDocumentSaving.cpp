// Saving an image document: in place, to a new file (Save As) and one image at a time (export).
#include "image/ImageDocumentModel.h"

#include "image/codec/ImageCodec.h"

#include <QFileInfo>

namespace scrivola {

namespace {

bool samePath(const QString& a, const QString& b) {
    const QFileInfo left(a), right(b);
    if (left.exists() && right.exists()) return left.canonicalFilePath() == right.canonicalFilePath();
    return left.absoluteFilePath() == right.absoluteFilePath();
}

// The encoder for a new file: by the target's extension, PNG for any other extension or none.
ImageEncoding encodingForTarget(const QString& url) {
    return ImageCodec::encodingForExtension(QFileInfo(url).suffix().toLower()).value_or(ImageEncoding::png);
}

}  // namespace

std::optional<ImageEncoding> ImageDocumentModel::inPlaceEncoding(int index) const {
    const ImageEntry& entry = entries_[index];
    // Writing one frame back would drop the others.
    if (entry.frameCount > 1) return std::nullopt;
    // Formats the codec reads but cannot write (SVG, AVIF, WebP) have no encoder for their extension.
    if (entry.format == QLatin1String("svg") || entry.format == QLatin1String("avif")) return std::nullopt;
    return ImageCodec::encodingForExtension(QFileInfo(entry.url).suffix().toLower());
}

bool ImageDocumentModel::canSaveEntryInPlace(int index) const {
    return index >= 0 && index < count() && inPlaceEncoding(index).has_value();
}

bool ImageDocumentModel::canSaveInPlace() const {
    if (entries_.isEmpty()) return false;
    // The images a plain save writes; with none edited, the document's own (first) image.
    bool anyDirty = false;
    for (int i = 0; i < count(); ++i) {
        if (!states_[size_t(i)].isDirty) continue;
        anyDirty = true;
        if (!canSaveEntryInPlace(i)) return false;
    }
    return anyDirty || canSaveEntryInPlace(0);
}

QString ImageDocumentModel::proposedSaveAsName() const {
    if (entries_.isEmpty()) return displayName();
    const QFileInfo first(entries_.first().url);
    const QString base = first.completeBaseName().isEmpty() ? first.fileName() : first.completeBaseName();
    if (!canSaveEntryInPlace(0)) return base + QStringLiteral(".png");
    return first.fileName();
}

// The pixels to write for an entry: the edited image or the decoded file.
QImage ImageDocumentModel::pixelsForSaving(int index) {
    const QImage pixels = image(index);
    if (pixels.isNull()) throw DocumentError::saveFailed(QStringLiteral("Could not create image data"));
    return pixels;
}

void ImageDocumentModel::writeImage(const QImage& image, const QString& url, ImageEncoding encoding) {
    QByteArray bytes;
    try {
        // Default options: the codec's JPEG/HEIC quality applies.
        bytes = ImageCodec::encode(image, encoding);
    } catch (const std::exception&) {
        throw DocumentError::saveFailed(QStringLiteral("Could not encode image"));
    }
    if (bytes.isEmpty()) throw DocumentError::saveFailed(QStringLiteral("Could not encode image"));
    try {
        ImageCodec::writeFileAtomically(url, bytes);
    } catch (const std::exception&) {
        throw DocumentError::saveFailed(QStringLiteral("Could not write to ") + QFileInfo(url).fileName());
    }
}

void ImageDocumentModel::save() {
    if (entries_.isEmpty()) throw DocumentError::saveFailed(QStringLiteral("No file URL set"));
    // Refuse before writing anything when an image cannot go back into its own format.
    for (int i = 0; i < count(); ++i) {
        if (states_[size_t(i)].isDirty && !inPlaceEncoding(i))
            throw DocumentError::saveFailed(QStringLiteral("Could not encode image"));
    }
    std::optional<DocumentError> firstFailure;
    for (int i = 0; i < count(); ++i) {
        if (!states_[size_t(i)].isDirty) continue;
        try {
            const QImage pixels = pixelsForSaving(i);
            writeImage(pixels, entries_[i].url, *inPlaceEncoding(i));
            states_[size_t(i)].isDirty = false;
            // The file now holds these pixels: they may leave memory like any decoded image.
            entries_[i].editedImage = QImage();
            cache_.insert(i, pixels);
            reloadEntriesAt(entries_[i].url, i);
        } catch (const DocumentError& error) {
            if (!firstFailure) firstFailure = error;
        }
    }
    // The collection's membership is not kept in any file: a save settles it.
    if (!firstFailure) isCollectionEdited_ = false;
    updateModified();
    if (firstFailure) throw *firstFailure;
}

void ImageDocumentModel::save(const QString& url) {
    if (entries_.isEmpty()) throw DocumentError::saveFailed(QStringLiteral("No image to save"));
    saveImage(0, url);
    // The first image's edit is now kept in a file; other edited images stay unsaved.
    states_[0].isDirty = false;
    isCollectionEdited_ = false;
    if (samePath(url, entries_[0].url) && entries_[0].isEdited()) {
        cache_.insert(0, entries_[0].editedImage);
        entries_[0].editedImage = QImage();
    }
    updateModified();
}

void ImageDocumentModel::saveImage(int index, const QString& url) {
    if (index < 0 || index >= count()) throw DocumentError::saveFailed(QStringLiteral("Invalid image index"));
    ImageEncoding encoding = encodingForTarget(url);
    if (samePath(url, entries_[index].url)) {
        // Over its own file the image keeps its format, or is not written at all.
        const std::optional<ImageEncoding> own = inPlaceEncoding(index);
        if (!own) throw DocumentError::saveFailed(QStringLiteral("Could not encode image"));
        encoding = *own;
    }
    const QImage pixels = pixelsForSaving(index);
    writeImage(pixels, url, encoding);
    reloadEntriesAt(url, index);
}

}  // namespace scrivola
