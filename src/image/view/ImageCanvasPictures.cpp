// The canvas's pictures: which decode of the shown image is at hand, the copies made for the
// screen on workers, and painting the exposed part.
#include "image/view/ImageCanvasView.h"

#include "app/core/Theme.h"
#include "image/ImageDocumentContext.h"
#include "image/ImageDocumentModel.h"
#include "image/codec/ImageCodec.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRunnable>
#include <QScrollBar>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace scrivola {

namespace {

// Changes of image closer together than this count as browsing quickly (a held arrow key).
constexpr qint64 kQuickStepMs = 150;
// Below this many device pixels per image pixel the picture is drawn from a reduced copy.
constexpr double kReduceBelow = 0.5;

// What the screen needs: sRGB colours in a format the raster painter draws without converting
// the whole image first.
bool isDisplayReady(const QImage& image) {
    const QColorSpace space = image.colorSpace();
    const bool colours = !space.isValid() || space == QColorSpace::SRgb;
    const QImage::Format format = image.format();
    return colours && (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied);
}

QImage forDisplay(const QImage& image) {
    QImage converted = ImageCodec::toDisplayColorSpace(image);
    const QImage::Format format = converted.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    return converted.format() == format ? converted : converted.convertToFormat(format);
}

// Runs `make` on Qt's shared pool and hands its result to `done` on the canvas's thread, unless
// the canvas is gone by then.
template <typename Make, typename Done>
void onWorker(QObject* owner, Make make, Done done) {
    QThreadPool::globalInstance()->start(QRunnable::create([owner = QPointer<QObject>(owner), make, done] {
        const QImage picture = make();
        QMetaObject::invokeMethod(qApp, [owner, picture, done] {
            if (owner) done(picture);
        }, Qt::QueuedConnection);
    }));
}

}  // namespace

void ImageCanvasView::showCurrent(bool reload) {
    const int index = context_ ? context_->shownIndex() : -1;
    const quint64 id = index >= 0 && model_ ? model_->entries().at(index).id : 0;
    if (!reload && index == index_ && id == entryId_) return;
    const bool sameEntry = id == entryId_ && index >= 0;
    if (!sameEntry) {
        if (index_ >= 0 && index >= 0) direction_ = index < index_ ? -1 : 1;
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
    }
    const bool quickStep = !sameEntry && lastChange_.isValid() && lastChange_.elapsed() < kQuickStepMs;
    if (!sameEntry) lastChange_.start();
    // What is on screen stays, fitted, until the new image has a picture of its own.
    const QImage onScreen = !reduced_.isNull() ? reduced_ : preview_;
    if (!sameEntry && !onScreen.isNull()) {
        standIn_ = onScreen;
        standInSize_ = imageSize_;
    } else if (sameEntry || index < 0) {
        standIn_ = QImage();
    }
    index_ = index;
    entryId_ = id;
    ++generation_;
    full_ = display_ = preview_ = reduced_ = QImage();
    message_.clear();
    displayPending_ = false;
    reducedPendingSize_ = QSize();
    paintedFull_ = paintedPreview_ = false;
    fullDecodeDelay_.stop();
    updateBadge();
    if (index < 0 || !model_) {
        setImageSize(QSizeF());
        viewport()->update();
        return;
    }
    // Until a picture tells its resolution, the entry's pixels stand for points.
    setImageSize(model_->pixelSize(index));
    if (const QImage cached = model_->cachedImage(index); !cached.isNull()) {
        takeFull(cached);
    } else {
        if (const QImage preview = model_->preview(index); !preview.isNull())
            takePreview(preview);
        else
            model_->requestPreview(index, viewport()->size() * devicePixelRatioF() / 2);
        // While the images fly by, only previews are decoded; the full image follows a pause.
        if (quickStep)
            fullDecodeDelay_.start();
        else
            requestFullDecode();
    }
    viewport()->update();
}

void ImageCanvasView::requestFullDecode() {
    if (model_ && index_ >= 0 && full_.isNull()) model_->requestImage(index_);
}

void ImageCanvasView::imageReady(int index) {
    if (index != index_ || !full_.isNull() || !model_) return;
    if (const QImage image = model_->cachedImage(index); !image.isNull()) return takeFull(image);
    if (model_->hasDecodeFailed(index)) {
        standIn_ = QImage();
        message_ = QStringLiteral("This image could not be shown.");
        viewport()->update();
    }
}

void ImageCanvasView::previewReady(int index) {
    if (!full_.isNull() || !preview_.isNull() || !model_) return;
    // While images fly by, the preview of one just passed shows until the current one has its own.
    if (index != index_) {
        if (!fullDecodeDelay_.isActive()) return;
        standIn_ = forDisplay(model_->preview(index));
        standInSize_ = model_->pixelSize(index);
        viewport()->update();
        return;
    }
    if (const QImage preview = model_->preview(index); !preview.isNull()) takePreview(preview);
}

void ImageCanvasView::takePreview(const QImage& preview) {
    preview_ = forDisplay(preview);
    standIn_ = QImage();
    viewport()->update();
}

void ImageCanvasView::takeFull(const QImage& image) {
    full_ = image;
    preview_ = standIn_ = QImage();
    setImageSize(ImageDrawing::pointSize(image));
    if (isDisplayReady(image)) display_ = image;
    // The copies for the screen and the neighbours' decodes start once the image is painted,
    // so that workers do not compete with that paint.
    viewport()->update();
}

void ImageCanvasView::afterFirstFullPaint() {
    if (full_.isNull()) return;
    prepareDisplayCopy();
    prepareReducedCopy();
    // The neighbours are decoded ahead, unless images fly by.
    if (!fullDecodeDelay_.isActive() && model_) model_->preloadAround(index_, direction_);
}

// A new size (the first picture may tell another resolution than the entry's pixels) lays the
// view out again, and a fit in force fits it again.
void ImageCanvasView::setImageSize(QSizeF size) {
    if (size == imageSize_) return;
    imageSize_ = size;
    updateScrollBars();
    if (context_ && !size.isEmpty() && context_->imageFitMode() != ImageFitMode::manual) {
        context_->setNeedsAutoFit(true);
        scheduleAutoFit();
    }
    if (context_ && context_->needsAutoFit()) scheduleAutoFit();
}

double ImageCanvasView::deviceScale() const {
    if (full_.isNull() || full_.width() == 0) return 1;
    return magnification_ * devicePixelRatioF() * imageSize_.width() / full_.width();
}

// The full image in display colours, made once per image when painting draws from it.
void ImageCanvasView::prepareDisplayCopy() {
    if (full_.isNull() || !display_.isNull() || displayPending_ || deviceScale() <= kReduceBelow) return;
    displayPending_ = true;
    const quint64 generation = generation_;
    onWorker(this, [image = full_] { return forDisplay(image); }, [this, generation](const QImage& converted) {
        if (generation != generation_) return;
        displayPending_ = false;
        display_ = converted;
        viewport()->update();
    });
}

// For a strong reduction, one copy of the whole image at the current scale (smoothly averaged,
// in display colours); at other scales a stale copy is dropped.
void ImageCanvasView::prepareReducedCopy() {
    const double scale = deviceScale();
    if (full_.isNull() || scale > kReduceBelow) {
        reduced_ = QImage();
        prepareDisplayCopy();
        return;
    }
    const QSize target(std::max(1, int(std::lround(full_.width() * scale))), std::max(1, int(std::lround(full_.height() * scale))));
    if (reduced_.size() == target || reducedPendingSize_ == target) return;
    reducedPendingSize_ = target;
    const quint64 generation = generation_;
    onWorker(this, [image = full_, target] { return forDisplay(ImageDrawing::scaled(image, target)); },
             [this, generation, target](const QImage& copy) {
                 if (generation != generation_ || reducedPendingSize_ != target) return;
                 reducedPendingSize_ = QSize();
                 reduced_ = copy;
                 viewport()->update();
             });
}

QString ImageCanvasView::sizeBadgeText() const {
    if (!model_ || index_ < 0) return {};
    const QSizeF size = model_->pixelSize(index_);
    return QString::number(qRound64(size.width())) + QStringLiteral(" × ") + QString::number(qRound64(size.height()));
}

void ImageCanvasView::notePainted(bool full) {
    bool& done = full ? paintedFull_ : paintedPreview_;
    if (done) return;
    done = true;
    emit imagePainted(index_, full);
    if (full) QTimer::singleShot(0, this, [this, generation = generation_] {
        if (generation == generation_) afterFirstFullPaint();
    });
    if (!paintedSinceContext_) {
        paintedSinceContext_ = true;
        emit painted();
    }
}

void ImageCanvasView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const bool dark = Theme::isDarkPalette(palette());
    painter.fillRect(event->rect(), Theme::background(dark));
    const QRectF target(imageOrigin(), imageSize_ * magnification_);
    const QRectF exposed = target & QRectF(event->rect());
    // The sharpest picture at hand: the reduced copy (when one is at about this scale), the
    // display copy, the decoded image (until its display copy is ready), the preview.
    QImage picture = display_;
    if (!reduced_.isNull() && deviceScale() <= kReduceBelow) picture = reduced_;
    else if (picture.isNull()) picture = full_;
    const bool full = !picture.isNull();
    if (!full) picture = preview_;
    if (picture.isNull() && !standIn_.isNull()) return paintStandIn(painter);
    if (picture.isNull() || exposed.isEmpty()) {
        if (!message_.isEmpty()) {
            painter.setPen(Theme::textSecondary(dark));
            painter.drawText(viewport()->rect(), Qt::AlignCenter, message_);
        }
        return;
    }
    // Only the exposed part of the picture is drawn: its rectangle in the picture's pixels.
    const double perPixel = picture.width() / target.width();
    const QRectF source((exposed.topLeft() - target.topLeft()) * perPixel, exposed.size() * perPixel);
    // Magnified far, pixels show as pixels; otherwise they are smoothed.
    const double devicePerPicturePixel = devicePixelRatioF() / perPixel;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, devicePerPicturePixel < 3);
    painter.drawImage(exposed, picture, source);
    notePainted(full);
}

// Fitted into the view (never enlarged) and centred.
void ImageCanvasView::paintStandIn(QPainter& painter) {
    const QSizeF area = viewport()->size();
    if (standInSize_.isEmpty()) return;
    const double scale = std::min({1.0, area.width() / standInSize_.width(), area.height() / standInSize_.height()});
    const QSizeF shown = standInSize_ * scale;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF((area.width() - shown.width()) / 2, (area.height() - shown.height()) / 2), shown), standIn_);
}

}  // namespace scrivola
