// The compression dialog's jobs on the thread pool.

#include "compression/view/CompressJobs.h"

#include "compression/CompressionService.h"
#include "image/codec/ImageCodec.h"
#include "workspace/AtomicFile.h"
#include "workspace/DocumentTypes.h"

#include <QFileInfo>

namespace scrivola::CompressJobs {

std::optional<qint64> estimateRasterizedPdf(const PDFDisplayList& firstPage, int pageCount,
                                            const PDFCompressionSettings& settings) {
    if (pageCount <= 0 || !(settings.dpi > 0)) return std::nullopt;
    const QImage picture = firstPage.render(settings.dpi / CompressionService::kPointsPerInch);
    if (picture.isNull()) return std::nullopt;
    const auto jpeg = CompressionService::jpegData(picture, settings.quality);
    if (!jpeg) return std::nullopt;
    return qint64(jpeg->size()) * pageCount + qint64(pageCount) * CompressionService::kPageAllowance;
}

void CompressedFile::write() {
    if (!bytes) return;
    if (writeFileAtomically(target, *bytes)) written = true;
    else
        writeError = DocumentError::saveFailed(QStringLiteral("Could not write to ") + QFileInfo(target).fileName())
                         .errorDescription();
    bytes.reset();
}

void writeIfSmaller(CompressedFile& file) {
    if (file.bytes && !file.notSmaller()) file.write();
}

QImage ImageSource::load() const {
    if (!image.isNull() || url.isEmpty()) return image;
    try {
        return ImageCodec::decode(url);
    } catch (const ImageCodecError&) {
        return {};
    }
}

ImageEstimate estimateImages(const ImageSource& source, int count, const ImageCompressionSettings& settings,
                             const CancelFlag& cancel) {
    ImageEstimate result;
    result.decoded = source.load();
    if (result.decoded.isNull() || cancel->load()) return result;
    if (const auto one = CompressionService::estimateCompressedSize(result.decoded, settings))
        result.bytes = *one * count;
    return result;
}

std::vector<CompressedFile> compressImages(const std::vector<ImageJob>& jobs, const ImageCompressionSettings& settings,
                                           const CancelFlag& cancel, const std::function<void(int, int)>& progress) {
    std::vector<CompressedFile> files;
    CompressionProgress hook;
    hook.isCancelled = [cancel] { return cancel->load(); };
    const int total = int(jobs.size());
    for (int i = 0; i < total && !cancel->load(); ++i) {
        if (progress) progress(i, total);
        CompressedFile file;
        file.target = jobs[size_t(i)].target;
        file.name = jobs[size_t(i)].name;
        file.sourceSize = jobs[size_t(i)].sourceSize;
        const QImage image = jobs[size_t(i)].source.load();
        if (!image.isNull()) file.bytes = CompressionService::compressImage(image, settings, hook);
        if (cancel->load()) break;
        writeIfSmaller(file);
        files.push_back(std::move(file));
    }
    if (progress && !cancel->load()) progress(total, total);
    return files;
}

}  // namespace scrivola::CompressJobs
