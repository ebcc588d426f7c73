#pragma once

// The compression dialog's work off the main thread: what each job needs is gathered on the main
// thread into a plain value (bytes, a display list, images), the job runs on the thread pool,
// and its result comes back to the main thread only while the dialog that asked still exists.

#include "compression/CompressionSettings.h"
#include "pdf/engine/PDFEngine.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace scrivola::CompressJobs {

// Shared between a job and the dialog: the dialog cancels, the job looks between its steps.
using CancelFlag = std::shared_ptr<std::atomic<bool>>;
inline CancelFlag newCancelFlag() { return std::make_shared<std::atomic<bool>>(false); }

// Runs `work` on the thread pool and hands its result to `done` on the main thread, unless
// `receiver` is gone by then.
template <typename Result, typename Receiver>
void run(Receiver* receiver, std::function<Result()> work, std::function<void(Result)> done) {
    QPointer<Receiver> guard(receiver);
    QThreadPool::globalInstance()->start([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = std::make_shared<Result>(work());
        // Posted to the application object, which outlives any dialog; the guard is read there,
        // on the main thread, where the dialog is deleted.
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;  // the application is ending: nobody waits for the result
        QMetaObject::invokeMethod(
            app,
            [guard, done = std::move(done), result] {
                if (guard) done(std::move(*result));
            },
            Qt::QueuedConnection);
    });
}

// --- Estimates ---

// The rasterised PDF estimate: page 0 drawn at `dpi` from its display list and encoded as JPEG;
// its bytes × pages + 1024 × pages. None when rendering or encoding fails.
std::optional<qint64> estimateRasterizedPdf(const PDFDisplayList& firstPage, int pageCount,
                                            const PDFCompressionSettings& settings);

// An image to compress: its pixels when in memory, else the file they are decoded from.
struct ImageSource {
    QImage image;
    QString url;
    // The decoded pixels; a null image when the file cannot be read.
    QImage load() const;
};

struct ImageEstimate {
    std::optional<qint64> bytes;
    QImage decoded;  // the pixels used, kept by the dialog for the next estimate
};
// The estimate for `source` × `count` images.
ImageEstimate estimateImages(const ImageSource& source, int count, const ImageCompressionSettings& settings,
                             const CancelFlag& cancel);

// --- Compression ---

struct CompressedFile {
    QString target;                   // where it is to be written
    QString name;                     // the source's file name, for messages
    std::optional<QByteArray> bytes;  // none: compression failed, or written already
    qint64 sourceSize = -1;           // bytes of the source, -1 when unknown
    bool written = false;
    QString writeError;               // the DocumentError message of a failed write
    bool notSmaller() const { return bytes && sourceSize >= 0 && bytes->size() >= sourceSize; }
    bool compressionFailed() const { return !bytes && !written && writeError.isEmpty(); }
    // Writes the bytes atomically to `target` and lets them go, or keeps the reason it failed.
    void write();
};

// Writes a result that is smaller than its source at once, so that a long job holds in memory
// only the results that wait for the user's word.
void writeIfSmaller(CompressedFile& file);

struct ImageJob {
    ImageSource source;
    QString target;
    QString name;  // the entry's file name, for messages
    qint64 sourceSize = -1;
};

// Compresses each image in turn and writes those that came out smaller (writeIfSmaller);
// `progress(done, total)` is called on the worker. Stops with what it has when cancelled.
std::vector<CompressedFile> compressImages(const std::vector<ImageJob>& jobs, const ImageCompressionSettings& settings,
                                           const CancelFlag& cancel, const std::function<void(int, int)>& progress);

}  // namespace scrivola::CompressJobs
