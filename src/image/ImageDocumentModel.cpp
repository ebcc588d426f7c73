#include "image/ImageDocumentModel.h"

#include "image/codec/ImageCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

namespace scrivola {

namespace {

bool fileExists(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

QString absolutePath(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// Decoding without exceptions: a file that probed fine may still fail to decode.
QImage decodeFile(const QString& path) {
    try {
        return ImageCodec::decode(path);
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

ImageDocumentModel::ImageDocumentModel(const QString& url, QObject* parent) : DocumentContent(parent) {
    decoders_.setMaxThreadCount(2);
    previewDecoders_.setMaxThreadCount(1);
    if (!fileExists(url)) throw DocumentError::fileNotFound(url);
    std::optional<ImageEntry> entry = makeEntry(url);
    if (!entry) throw DocumentError::cannotOpenImage(url);
    appendEntry(std::move(*entry));
    // The single image is shown at once, so decode it now: a file whose header reads but whose
    // pixels do not is refused here rather than opening as an empty tab.
    const QImage pixels = decodeFile(url);
    if (pixels.isNull()) throw DocumentError::cannotOpenImage(url);
    cache_.insert(0, pixels);
    cache_.setPinned(0);
}

ImageDocumentModel::ImageDocumentModel(const QStringList& urls, QObject* parent) : DocumentContent(parent) {
    decoders_.setMaxThreadCount(2);
    previewDecoders_.setMaxThreadCount(1);
    for (const QString& url : urls) {
        if (!fileExists(url)) continue;
        if (std::optional<ImageEntry> entry = makeEntry(url)) appendEntry(std::move(*entry));
    }
    if (entries_.isEmpty()) throw DocumentError::loadFailed(QStringLiteral("No valid images found"));
    cache_.setPinned(0);
}

ImageDocumentModel::~ImageDocumentModel() {
    // Workers post their results to this object: let running decodes finish before it goes.
    decoders_.clear();
    previewDecoders_.clear();
    decoders_.waitForDone();
    previewDecoders_.waitForDone();
}

std::optional<ImageEntry> ImageDocumentModel::makeEntry(const QString& url) {
    try {
        const ImageInfo info = ImageCodec::probe(url);
        if (info.pixelSize.isEmpty()) return std::nullopt;
        ImageEntry entry;
        entry.url = url;
        entry.pixelSize = QSizeF(info.pixelSize);
        entry.format = info.format;
        entry.frameCount = info.frameCount;
        return entry;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void ImageDocumentModel::appendEntry(ImageEntry entry) {
    entry.id = nextId_++;
    entries_.append(std::move(entry));
    states_.emplace_back();
}

QString ImageDocumentModel::url() const { return entries_.isEmpty() ? QString() : entries_.first().url; }

QString ImageDocumentModel::displayName() const {
    if (entries_.isEmpty()) return QStringLiteral("Untitled");
    const QFileInfo first(entries_.first().url);
    if (entries_.size() < 2) {
        const QString base = first.completeBaseName();
        return base.isEmpty() ? first.fileName() : base;
    }
    return first.absoluteDir().dirName() + QStringLiteral(" (") + QString::number(entries_.size()) + QLatin1Char(')');
}

void ImageDocumentModel::addImages(const QStringList& urls) {
    QSet<QString> known;
    for (const ImageEntry& entry : entries_) known.insert(entry.url);
    bool added = false;
    for (const QString& url : urls) {
        if (known.contains(url)) continue;
        std::optional<ImageEntry> entry = makeEntry(url);
        if (!entry) continue;
        known.insert(url);
        appendEntry(std::move(*entry));
        added = true;
    }
    if (!added) return;
    emit entriesChanged();
    emit contentChanged();
}

void ImageDocumentModel::removeEntry(int index) {
    if (index < 0 || index >= count() || count() < 2) return;
    dropThumbnail(index);
    forgetPreview(entries_[index].id);
    entries_.removeAt(index);
    states_.erase(states_.begin() + index);
    cache_.removeShifting(index);
    updateModified();
    emit entryRemoved(index);
    emit entriesChanged();
    emit contentChanged();
}

int ImageDocumentModel::indexOf(quint64 id) const {
    for (int i = 0; i < count(); ++i)
        if (entries_[i].id == id) return i;
    return -1;
}

void ImageDocumentModel::markCollectionEdited() {
    isCollectionEdited_ = true;
    setModified(true);
}

void ImageDocumentModel::markUndecodable(int index) {
    states_[size_t(index)].decodeFailed = true;
    if (count() < 2) return;
    const quint64 id = entries_[index].id;
    QMetaObject::invokeMethod(
        this,
        [this, id] {
            const int at = indexOf(id);
            if (at >= 0 && states_[size_t(at)].decodeFailed) removeEntry(at);
        },
        Qt::QueuedConnection);
}

QImage ImageDocumentModel::image(int index) {
    if (index < 0 || index >= count()) return {};
    const ImageEntry& entry = entries_[index];
    if (entry.isEdited()) return entry.editedImage;
    if (QImage cached = cache_.find(index); !cached.isNull()) return cached;
    return decodeEntry(index);
}

QImage ImageDocumentModel::decodeEntry(int index) {
    EntryState& state = states_[size_t(index)];
    if (state.decodeFailed) return {};
    QImage pixels = decodeFile(entries_[index].url);
    if (pixels.isNull()) {
        markUndecodable(index);
        return {};
    }
    cache_.insert(index, pixels);
    return pixels;
}

QImage ImageDocumentModel::cachedImage(int index) const {
    if (index < 0 || index >= count()) return {};
    const ImageEntry& entry = entries_[index];
    return entry.isEdited() ? entry.editedImage : cache_.peek(index);
}

bool ImageDocumentModel::hasDecodeFailed(int index) const {
    return index >= 0 && index < count() && states_[size_t(index)].decodeFailed;
}

void ImageDocumentModel::requestImage(int index) {
    requestDecode(index, 1, [](int) { return false; });
}

void ImageDocumentModel::requestDecode(int index, int priority, const std::function<bool(int)>& keep) {
    if (index < 0 || index >= count()) return;
    EntryState& state = states_[size_t(index)];
    if (!cachedImage(index).isNull() || state.decodeFailed) {
        QMetaObject::invokeMethod(this, [this, index] { emit imageReady(index); }, Qt::QueuedConnection);
        return;
    }
    if (state.decodePending) return;
    state.decodePending = true;
    // Decodes under way count against the budget too: the least recently used images (other
    // than the shown one and those kept) go before the pixels arrive, not after.
    const qint64 bytes = estimatedBytes(index);
    cache_.makeRoom(decodingBytes_ + bytes, keep);
    decodingBytes_ += bytes;
    const QString path = entries_[index].url;
    const quint64 id = entries_[index].id;
    const quint64 generation = state.generation;
    decoders_.start(
        [this, path, id, generation, bytes] {
            const QImage pixels = decodeFile(path);
            QMetaObject::invokeMethod(
                this, [this, id, generation, pixels, bytes] { finishRequest(id, generation, pixels, bytes); },
                Qt::QueuedConnection);
        },
        priority);
}

void ImageDocumentModel::finishRequest(quint64 id, quint64 generation, const QImage& pixels, qint64 bytes) {
    decodingBytes_ -= bytes;
    const int index = indexOf(id);
    if (index < 0) return;
    EntryState& state = states_[size_t(index)];
    // A result for pixels that were replaced meanwhile is stale; a newer request may be running.
    if (state.generation != generation) return;
    state.decodePending = false;
    if (!entries_[index].isEdited()) {
        if (pixels.isNull())
            markUndecodable(index);
        else
            cache_.insert(index, pixels);
    }
    emit imageReady(index);
}

qint64 ImageDocumentModel::estimatedBytes(int index) const {
    const ImageEntry& entry = entries_[index];
    if (entry.isEdited()) return entry.editedImage.sizeInBytes();
    return qint64(entry.pixelSize.width()) * qint64(entry.pixelSize.height()) * 4;
}

void ImageDocumentModel::preloadAround(int index, int direction) {
    if (index < 0 || index >= count()) return;
    const int step = direction < 0 ? -1 : 1;
    const int ahead = index + step;
    const int behind = index - step;
    const auto wanted = [ahead, behind](int i) { return i == ahead || i == behind; };
    qint64 planned = estimatedBytes(index);
    for (const int neighbour : {ahead, behind}) {
        if (neighbour < 0 || neighbour >= count()) continue;
        const qint64 bytes = estimatedBytes(neighbour);
        if (planned + bytes > cache_.budget()) break;
        planned += bytes;
        const EntryState& state = states_[size_t(neighbour)];
        if (state.decodeFailed || state.decodePending || !cachedImage(neighbour).isNull()) continue;
        requestDecode(neighbour, 0, wanted);  // behind any image asked for to be shown
    }
}

void ImageDocumentModel::requestPreview(int index, QSize maxSize) {
    if (index < 0 || index >= count() || maxSize.isEmpty()) return;
    const ImageEntry& entry = entries_[index];
    const EntryState& state = states_[size_t(index)];
    if (entry.isEdited() || state.decodeFailed) return;
    if (!preview(index).isNull()) {
        QMetaObject::invokeMethod(this, [this, index] { emit previewReady(index); }, Qt::QueuedConnection);
        return;
    }
    const quint64 ticket = ++*previewTicket_;
    previewDecoders_.start([this, latest = previewTicket_, ticket, path = entry.url, id = entry.id,
                            generation = state.generation, maxSize] {
        if (latest->load() != ticket) return;  // a newer preview was asked for meanwhile
        const QImage pixels = ImageCodec::decodePreview(path, maxSize);
        if (pixels.isNull()) return;
        QMetaObject::invokeMethod(
            this, [this, id, generation, pixels] { finishPreview(id, generation, pixels); }, Qt::QueuedConnection);
    });
}

void ImageDocumentModel::finishPreview(quint64 id, quint64 generation, const QImage& pixels) {
    const int index = indexOf(id);
    if (index < 0 || states_[size_t(index)].generation != generation || entries_[index].isEdited()) return;
    constexpr int kKeptPreviews = 8;
    forgetPreview(id);
    previews_.append({id, pixels});
    while (previews_.size() > kKeptPreviews) previews_.removeFirst();
    emit previewReady(index);
}

QImage ImageDocumentModel::preview(int index) const {
    if (index < 0 || index >= count()) return {};
    for (const auto& [id, pixels] : previews_)
        if (id == entries_[index].id) return pixels;
    return {};
}

void ImageDocumentModel::forgetPreview(quint64 id) {
    previews_.removeIf([id](const auto& item) { return item.first == id; });
}

QSizeF ImageDocumentModel::pixelSize(int index) const {
    if (index < 0 || index >= count()) return QSizeF(0, 0);
    return entries_[index].pixelSize;
}

QSizeF ImageDocumentModel::pointSize(int index) {
    const QImage pixels = image(index);
    return pixels.isNull() ? QSizeF(0, 0) : ImageDrawing::pointSize(pixels);
}

void ImageDocumentModel::replaceImage(const QImage& image, int index) {
    if (index < 0 || index >= count() || image.isNull()) return;
    ImageEntry& entry = entries_[index];
    entry.editedImage = image;
    entry.pixelSize = QSizeF(image.size());
    EntryState& state = states_[size_t(index)];
    ++state.generation;
    state.isDirty = true;
    state.decodeFailed = false;
    state.decodePending = false;
    cache_.remove(index);
    dropThumbnail(index);
    forgetPreview(entry.id);
    emit imageChanged(index);
    emit contentChanged();
    setModified(true);
}

void ImageDocumentModel::setShownIndex(int index) { cache_.setPinned(index); }

void ImageDocumentModel::setModified(bool modified) {
    if (isModified_ == modified) return;
    isModified_ = modified;
    emit modifiedChanged(isModified_);
}

void ImageDocumentModel::updateModified() {
    bool dirty = isCollectionEdited_;
    for (const EntryState& state : states_) dirty = dirty || state.isDirty;
    setModified(dirty);
}

// After a write to `path`, entries showing that file unedited show the new contents.
void ImageDocumentModel::reloadEntriesAt(const QString& path, int exceptIndex) {
    const QString target = absolutePath(path);
    for (int i = 0; i < count(); ++i) {
        if (i == exceptIndex || entries_[i].isEdited() || absolutePath(entries_[i].url) != target) continue;
        EntryState& state = states_[size_t(i)];
        ++state.generation;
        state.decodeFailed = false;
        state.decodePending = false;
        cache_.remove(i);
        dropThumbnail(i);
        forgetPreview(entries_[i].id);
        if (std::optional<ImageEntry> fresh = makeEntry(entries_[i].url)) {
            entries_[i].pixelSize = fresh->pixelSize;
            entries_[i].format = fresh->format;
            entries_[i].frameCount = fresh->frameCount;
        }
        emit imageChanged(i);
    }
}

}  // namespace scrivola
