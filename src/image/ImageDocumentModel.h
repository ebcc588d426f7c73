#pragma once

#include "image/ImageCache.h"
#include "image/ImageEntry.h"
#include "image/ImageThumbnailCache.h"
#include "image/codec/ImageCodec.h"
#include "workspace/DocumentContent.h"

#include <QImage>
#include <QList>
#include <QSet>
#include <QSizeF>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <deque>
#include <memory>
#include <optional>

namespace scrivola {

// The images of one image tab: an ordered collection of one or more raster images, each with the
// file it came from. Entries are built from the files' headers; pixels are decoded on demand
// (synchronously by image(), on a worker by requestImage()) and kept in an LRU cache with a byte
// budget. Edited images are held in their entries until saved. Main thread only.
class ImageDocumentModel : public DocumentContent {
    Q_OBJECT
public:
    // One image. Throws DocumentError: fileNotFound when nothing exists at the path,
    // loadFailed("Could not open image at <file name>") when it cannot be read as an image.
    explicit ImageDocumentModel(const QString& url, QObject* parent = nullptr);
    // A collection in the given order; missing and unreadable files are skipped.
    // Throws DocumentError loadFailed("No valid images found") when none is left.
    explicit ImageDocumentModel(const QStringList& urls, QObject* parent = nullptr);
    ~ImageDocumentModel() override;

    // DocumentContent
    QString url() const override;
    DocumentType documentType() const override { return DocumentType::image; }
    bool isModified() const override { return isModified_; }
    QString displayName() const override;
    // Writes every edited, unsaved image back to its own file in its own format. Throws
    // saveFailed without writing anything when one of them has no encoder for its format
    // (see canSaveInPlace); otherwise attempts every image and throws saveFailed naming the
    // first failure. isModified clears only when every image was written.
    void save() override;
    // Writes the first image to `url`, encoded by the target's extension (PNG when unknown).
    // Entry URLs do not change. Clears the first image's unsaved state.
    void save(const QString& url) override;
    // False when an image that save() would write has no encoder for its own format (SVG,
    // AVIF, WebP, animated GIF, multi-page TIFF): Save must become Save As.
    bool canSaveInPlace() const override;
    // The first image's file name; with ".png" when it cannot be written in its own format.
    QString proposedSaveAsName() const override;

    const QList<ImageEntry>& entries() const { return entries_; }
    int count() const { return int(entries_.size()); }

    // Appends the images not already in the list (same URL); unreadable files are skipped.
    void addImages(const QStringList& urls);
    // Takes the entry out of the collection; its file is untouched. Does nothing when out of
    // range or when it is the only entry. entryRemoved(index) then entriesChanged follow.
    void removeEntry(int index);
    // The index of the entry with this id, or -1 when it has left the collection.
    int indexOf(quint64 id) const;
    // The user changed which images the collection holds (deleted some): the document counts as
    // modified until the next successful save, although no image changed.
    void markCollectionEdited();

    // The image at an index, decoded now when not cached; null when out of range or when the
    // pixels cannot be decoded.
    QImage image(int index);
    // The image if it is in memory (edited or cached); never decodes.
    QImage cachedImage(int index) const;
    // Decodes the image on a worker thread; imageReady(index) follows on the main thread (at
    // once, queued, when the image is already in memory). Does nothing when out of range.
    void requestImage(int index);
    // Decodes the neighbours of `index` ahead on a worker, the one in `direction` (+1 or -1)
    // first, as far as the cache budget holds them beside the image at `index`; images it
    // cannot hold (other than the pinned one and these) make room for them.
    void preloadAround(int index, int direction);
    // A quick reduced decode of the entry's file, fitted into `maxSize` (see
    // ImageCodec::decodePreview), for showing until the full image is ready; previewReady(index)
    // follows on the main thread. A newer request supersedes one not yet started. Nothing follows
    // for formats without a quick path, nor for edited entries (their pixels are in memory).
    void requestPreview(int index, QSize maxSize);
    // The entry's latest preview, or a null image.
    QImage preview(int index) const;
    // True when decoding the entry's file failed (until the entry is replaced). In a collection
    // such an entry is then left out, as unreadable files are at opening: the removal follows
    // from the event loop, so indices never shift under a caller.
    bool hasDecodeFailed(int index) const;

    QSizeF pixelSize(int index) const;
    // The image's size in points (pixels × 72 / its DPI), as fitting uses it; decodes when
    // needed. 0 × 0 when out of range or undecodable.
    QSizeF pointSize(int index);
    // Replaces the image at an index with an edited one and marks the document modified.
    // Does nothing when the index is out of range or the image is null.
    void replaceImage(const QImage& image, int index);

    // Writes one image to a file (export). Throws saveFailed("Invalid image index") out of
    // range, and the messages of save(url) otherwise. isModified does not change.
    void saveImage(int index, const QString& url);

    // Whether the entry can be written back to its own file in its own format.
    bool canSaveEntryInPlace(int index) const;

    // Thumbnails for lists of images (ImageThumbnails.cpp): fitted into thumbnailBound() pixels,
    // decoded from the file as cheaply as its format allows or scaled from the pixels in memory;
    // full-size pixels decoded for them never enter the image cache. Kept by entry in a small
    // cache of their own and dropped when the entry's pixels change.
    // A new bound drops the thumbnails made for the old one.
    void setThumbnailBound(QSize pixels);
    QSize thumbnailBound() const { return thumbnailBound_; }
    // The thumbnail when made; null otherwise (requestThumbnail makes it).
    QImage thumbnail(int index);
    // Makes the thumbnail on a decoder thread, one at a time and behind the full images asked
    // for; thumbnailReady(index) follows. The latest requests are served first and only a few
    // wait: a list scrolled quickly asks again for the cells it then shows. Does nothing when
    // out of range, already made, or when the file gave no thumbnail (hasThumbnailFailed).
    void requestThumbnail(int index);
    bool hasThumbnailFailed(int index) const;
    qint64 thumbnailBytes() const { return thumbnails_.usedBytes(); }
    void setThumbnailBudget(qint64 bytes) { thumbnails_.setBudget(bytes); }

    // The image on screen: never evicted from the cache.
    void setShownIndex(int index);
    void setCacheBudget(qint64 bytes) { cache_.setBudget(bytes); }
    qint64 cacheBudget() const { return cache_.budget(); }
    qint64 cachedBytes() const { return cache_.usedBytes(); }

signals:
    void entriesChanged();
    void entryRemoved(int index);
    void imageChanged(int index);
    void imageReady(int index);
    void thumbnailReady(int index);
    void previewReady(int index);

private:
    struct EntryState {
        quint64 generation = 0;   // rises whenever the entry's pixels change
        bool isDirty = false;     // edited and not yet written to the entry's own file
        bool decodeFailed = false;
        bool decodePending = false;
        bool thumbnailFailed = false;
    };

    static std::optional<ImageEntry> makeEntry(const QString& url);
    void appendEntry(ImageEntry entry);
    void setModified(bool modified);
    void updateModified();
    QImage decodeEntry(int index);
    // Queues a decode on the workers, higher priorities first, after making room in the cache
    // for it (sparing the images `keep` names).
    void requestDecode(int index, int priority, const std::function<bool(int)>& keep);
    void finishRequest(quint64 id, quint64 generation, const QImage& image, qint64 bytes);
    void markUndecodable(int index);
    void finishPreview(quint64 id, quint64 generation, const QImage& preview);
    void forgetPreview(quint64 id);
    // What the entry's pixels take (or will take once decoded) in memory.
    qint64 estimatedBytes(int index) const;
    QImage pixelsForSaving(int index);
    void writeImage(const QImage& image, const QString& url, ImageEncoding encoding);
    void reloadEntriesAt(const QString& path, int exceptIndex);
    std::optional<ImageEncoding> inPlaceEncoding(int index) const;
    void dropThumbnail(int index);
    void startNextThumbnail();
    void finishThumbnail(quint64 id, quint64 generation, QSize bound, const QImage& thumbnail);

    QList<ImageEntry> entries_;
    std::vector<EntryState> states_;
    ImageCache cache_;
    quint64 nextId_ = 1;
    bool isModified_ = false;
    bool isCollectionEdited_ = false;
    ImageThumbnailCache thumbnails_;
    std::deque<quint64> thumbnailQueue_;  // entry ids, the latest request first
    bool isThumbnailRunning_ = false;
    QSize thumbnailBound_{480, 240};
    // Decoding runs on a pool of its own, so a folder of large photos never holds up the render
    // workers or Qt's shared pool; results come back to the main thread by entry id.
    QThreadPool decoders_;
    qint64 decodingBytes_ = 0;  // estimated pixels of the decodes under way
    // Previews have a worker of their own so that they never wait behind full decodes; only the
    // newest request matters, older ones not yet started are skipped.
    QThreadPool previewDecoders_;
    std::shared_ptr<std::atomic<quint64>> previewTicket_ = std::make_shared<std::atomic<quint64>>(0);
    // A few recent previews by entry id, oldest first.
    QList<std::pair<quint64, QImage>> previews_;
};

// A new image turned by `degrees`, positive meaning counterclockwise. Quarter turns are exact
// pixel rotations keeping the full resolution, the DPI and the colour space.
QImage rotated(const QImage& image, double degrees);

}  // namespace scrivola
