// The compression sheet's saving: where to, compressing on the thread pool, the not-smaller
// question, atomic writes; and the window's hook that shows the sheet.

#include "compression/view/CompressDialogView.h"

#include "compression/CompressionService.h"
#include "compression/view/CompressPanels.h"
#include "image/ImageDocumentContext.h"
#include "image/ImageDocumentModel.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "workspace/DocumentTypes.h"
#include "workspace/TabItem.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressBar>

#include <algorithm>

namespace scrivola {

namespace {

QString samePathKey(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

QString imageFilter(ImageOutputFormat format) {
    const QString extension = ImageOutputFormats::fileExtension(format);
    QString patterns = QStringLiteral("*.") + extension;
    if (format == ImageOutputFormat::jpeg) patterns += QStringLiteral(" *.jpg");
    if (format == ImageOutputFormat::tiff) patterns += QStringLiteral(" *.tif");
    return ImageOutputFormats::rawValue(format) + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

}  // namespace

QString CompressDialogView::proposedFileName() const {
    if (kind_ == Kind::pdf) {
        const QString url = pdf_->model() ? pdf_->model()->url() : QString();
        const QString base = url.isEmpty() ? QStringLiteral("document") : QFileInfo(url).completeBaseName();
        return base + QStringLiteral("_compressed.pdf");
    }
    const std::set<int> indices = compressIndices();
    const int index = indices.empty() ? -1 : *indices.begin();
    const auto* model = image_ ? image_->model() : nullptr;
    const QString base = model && index >= 0 && index < model->count()
                             ? QFileInfo(model->entries()[index].url).completeBaseName()
                             : QStringLiteral("image");
    return base + QStringLiteral("_compressed.") + ImageOutputFormats::fileExtension(imageFormat_);
}

void CompressDialogView::saveCompressed() {
    if (isCompressing_ || isNoOp()) return;
    setMessage({}, false);
    if (kind_ == Kind::pdf) savePDF();
    else if (kind_ == Kind::image) saveImages();
}

std::optional<QByteArray> CompressDialogView::pdfSnapshot() {
    if (!pdfSnapshot_ && pdf_ && pdf_->model() && pdf_->model()->pdfDocument())
        pdfSnapshot_ = CompressionService::documentSnapshot(*pdf_->model()->pdfDocument());
    return pdfSnapshot_;
}

bool CompressDialogView::refusesTarget(const QString& target) {
    QStringList sources;
    if (pdf_ && pdf_->model()) sources << pdf_->model()->url();
    if (image_ && image_->model())
        for (const ImageEntry& entry : image_->model()->entries()) sources << entry.url;
    const QString key = samePathKey(target);
    for (const QString& source : sources) {
        if (!source.isEmpty() && samePathKey(source) == key) {
            setMessage(QStringLiteral("The compressed copy cannot replace the original %1. Choose another name.")
                           .arg(QFileInfo(source).fileName()),
                       true);
            return true;
        }
    }
    return false;
}

void CompressDialogView::beginJob(int total) {
    saveCancel_ = CompressJobs::newCancelFlag();
    isCompressing_ = true;
    progress_->setRange(0, std::max(1, total));
    progress_->setValue(0);
    refresh();
}

void CompressDialogView::endJob() {
    isCompressing_ = false;
    refresh();
    emit saveFinished();
}

namespace {

// Progress from a worker, shown on the main thread while the dialog exists.
std::function<void(int, int)> progressReporter(QProgressBar* bar) {
    QPointer<QProgressBar> guard(bar);
    return [guard](int done, int total) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(
            app,
            [guard, done, total] {
                if (!guard) return;
                guard->setRange(0, std::max(1, total));
                guard->setValue(done);
            },
            Qt::QueuedConnection);
    };
}

}  // namespace

void CompressDialogView::savePDF() {
    const QString target = panels_->chooseSaveLocation(proposedFileName(), QStringLiteral("PDF (*.pdf)"));
    if (target.isEmpty() || refusesTarget(target)) return;
    const QString name = displayName();
    // An unchanged document is its file: the worker reads it from disk. Otherwise the document's
    // current bytes are taken here, where the engine's documents live.
    const PDFDocumentModel* model = pdf_->model();
    const QString file = !model->isModified() && originalSize_ > 0 ? model->url() : QString();
    std::optional<QByteArray> snapshot;
    if (file.isEmpty()) {
        snapshot = pdfSnapshot();
        if (!snapshot) {
            const QString message =
                DocumentError::exportFailed(QStringLiteral("Could not read ") + name).errorDescription();
            setMessage(message, true);
            emit compressionFailed(message);
            return;
        }
    }
    const PDFCompressionSettings settings{pdfQuality_, pdfDPI_, useRasterization_};
    // Compared with the file on disk when there is one, else with the document's own bytes.
    const qint64 sourceSize = originalSize_ > 0 ? originalSize_ : snapshot->size();
    beginJob(model->pdfDocument()->pageCount());
    const CompressJobs::CancelFlag cancel = saveCancel_;
    const auto report = progressReporter(progress_);
    CompressJobs::run<CompressJobs::CompressedFile>(
        this,
        [file, snapshot, settings, cancel, report, target, name, sourceSize] {
            CompressionProgress hook;
            hook.report = report;
            hook.isCancelled = [cancel] { return cancel->load(); };
            CompressJobs::CompressedFile result;
            result.target = target;
            result.name = name;
            result.sourceSize = sourceSize;
            // Written after the job comes back, so that a cancelled save writes nothing.
            const auto compressed = snapshot ? CompressionService::compressPDFData(*snapshot, settings, hook)
                                             : CompressionService::compressPDFFile(file, settings, hook);
            if (compressed) result.bytes = compressed->data;
            return result;
        },
        [this, cancel](CompressJobs::CompressedFile file) {
            if (cancel->load()) {
                endJob();
                return;
            }
            finishWriting({std::move(file)});
        });
}

void CompressDialogView::saveImages() {
    ImageDocumentModel* model = image_->model();
    const std::set<int> indices = compressIndices();
    QString folder;
    QString single;
    if (indices.size() == 1) {
        single = panels_->chooseSaveLocation(proposedFileName(), imageFilter(imageFormat_));
        if (single.isEmpty() || refusesTarget(single)) return;
    } else {
        folder = panels_->chooseFolder();
        if (folder.isEmpty()) return;
    }
    std::vector<CompressJobs::ImageJob> jobs;
    for (int index : indices) {
        if (index < 0 || index >= model->count()) continue;
        const ImageEntry& entry = model->entries()[index];
        CompressJobs::ImageJob job;
        job.source.image = model->cachedImage(index);
        job.source.url = entry.url;
        job.name = QFileInfo(entry.url).fileName();
        job.sourceSize = CompressionService::fileSize(entry.url).value_or(-1);
        job.target = !single.isEmpty() ? single
                                       : QDir(folder).filePath(QFileInfo(entry.url).completeBaseName() +
                                                               QStringLiteral("_compressed.") +
                                                               ImageOutputFormats::fileExtension(imageFormat_));
        if (refusesTarget(job.target)) return;
        jobs.push_back(std::move(job));
    }
    if (jobs.empty()) {
        setMessage(QStringLiteral("There is no image to compress."), true);
        return;
    }
    const ImageCompressionSettings settings{imageQuality_, imageResolution_, imageFormat_};
    beginJob(int(jobs.size()));
    const CompressJobs::CancelFlag cancel = saveCancel_;
    const auto report = progressReporter(progress_);
    CompressJobs::run<std::vector<CompressJobs::CompressedFile>>(
        this, [jobs, settings, cancel, report] { return CompressJobs::compressImages(jobs, settings, cancel, report); },
        [this, cancel, total = int(jobs.size())](std::vector<CompressJobs::CompressedFile> files) {
            if (cancel->load()) {
                const auto saved = std::count_if(files.begin(), files.end(), [](const auto& f) { return f.written; });
                if (saved > 0) setMessage(QStringLiteral("Cancelled: %1 of %2 images were saved.").arg(saved).arg(total), false);
                endJob();
                return;
            }
            finishWriting(std::move(files));
        });
}

void CompressDialogView::finishWriting(std::vector<CompressJobs::CompressedFile> files) {
    // Images smaller than their source are written already; the others wait for the answer.
    QStringList failures;
    int written = 0;
    std::vector<CompressJobs::CompressedFile> toWrite;
    std::vector<size_t> waiting;
    for (size_t i = 0; i < files.size(); ++i) {
        CompressJobs::CompressedFile& file = files[i];
        if (file.compressionFailed())
            failures << DocumentError::exportFailed(QStringLiteral("Could not compress ") + file.name).errorDescription();
        else if (!file.writeError.isEmpty()) failures << file.writeError;
        else if (file.written) ++written;
        else if (file.notSmaller()) waiting.push_back(i);
        else toWrite.push_back(std::move(file));
    }
    const int notSmaller = int(waiting.size());
    if (notSmaller > 0) {
        const QString question =
            files.size() == 1
                ? QStringLiteral("The compressed file (%1) is not smaller than the original (%2). Save it anyway?")
                      .arg(formatByteCount(files.front().bytes->size()), formatByteCount(files.front().sourceSize))
                : QStringLiteral("%1 of the compressed images are not smaller than their originals. Save them anyway?")
                      .arg(notSmaller);
        if (panels_->confirmNotSmaller(question))
            for (size_t i : waiting) toWrite.push_back(std::move(files[i]));
    }
    const bool onlyOneNotSmaller = notSmaller == 1 && files.size() == 1;
    // Written on the thread pool: an atomic write waits for the disk.
    CompressJobs::run<std::vector<CompressJobs::CompressedFile>>(
        this,
        [toWrite = std::move(toWrite)]() mutable {
            for (auto& file : toWrite) file.write();
            return std::move(toWrite);
        },
        [this, failures, written, onlyOneNotSmaller](std::vector<CompressJobs::CompressedFile> late) mutable {
            for (const auto& file : late) {
                if (file.written) ++written;
                else failures << file.writeError;
            }
            isCompressing_ = false;
            refresh();
            if (!failures.isEmpty()) {
                const QString message = failures.join(QLatin1Char('\n'));
                setMessage(message, true);
                emit compressionFailed(message);
            } else if (written == 0) {
                setMessage(onlyOneNotSmaller
                               ? QStringLiteral("Nothing was saved: the compressed file is not smaller than the original.")
                               : QStringLiteral("Nothing was saved: no compressed image is smaller than its original."),
                           false);
            }
            emit saveFinished();
            if (failures.isEmpty() && written > 0) dismiss();
        });
}

void CompressDialogView::reject() {
    dismiss();
}

void CompressDialogView::dismiss() {
    if (!dismissed_) {
        dismissed_ = true;
        if (estimateCancel_) estimateCancel_->store(true);
        if (saveCancel_) saveCancel_->store(true);
        debounce_.stop();
        const QPointer<CompressDialogView> self(this);
        if (onDismiss_) onDismiss_();
        if (!self) return;
    }
    if (isVisible()) QDialog::reject();
}

void showCompressSheetWhenAsked(QWidget* anchor, TabItem* tab, CompressPanels* panels,
                                std::function<void(const QString&)> onFailure) {
    if (!anchor || !tab) return;
    auto* pdf = qobject_cast<PDFDocumentContext*>(tab->context());
    auto* image = qobject_cast<ImageDocumentContext*>(tab->context());
    if (!pdf && !image) return;
    const auto wanted = [pdf, image] { return pdf ? pdf->isCompressSheetVisible() : image->isCompressSheetVisible(); };
    const auto clear = [pdf, image] {
        if (pdf) pdf->setCompressSheetVisible(false);
        else image->setCompressSheetVisible(false);
    };
    auto sheet = std::make_shared<QPointer<CompressDialogView>>();
    const auto update = [anchor, tab, panels, onFailure, wanted, clear, sheet] {
        // Only the widget on show answers: a window may keep a hidden page of a tab that moved on.
        if (wanted() && !*sheet && !anchor->isHidden()) {
            auto* dialog = new CompressDialogView(tab, clear, panels, anchor->window());
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            if (onFailure) QObject::connect(dialog, &CompressDialogView::compressionFailed, anchor, onFailure);
            *sheet = dialog;
            dialog->open();
        } else if (!wanted() && *sheet) {
            CompressDialogView* dialog = *sheet;
            sheet->clear();
            dialog->close();
        }
    };
    if (pdf) QObject::connect(pdf, &PDFDocumentContext::panelsChanged, anchor, update);
    else QObject::connect(image, &ImageDocumentContext::compressSheetVisibleChanged, anchor, update);
    // The sheet never outlives its tab's context or the widget that shows the tab.
    const auto close = [sheet] {
        if (*sheet) (*sheet)->deleteLater();
    };
    QObject::connect(tab->context(), &QObject::destroyed, anchor, close);
    QObject::connect(anchor, &QObject::destroyed, close);
    update();
}

}  // namespace scrivola
