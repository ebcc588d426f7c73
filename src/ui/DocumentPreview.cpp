#include "ui/DocumentPreview.h"

#include "image/ImageDocumentContext.h"
#include "image/ImageDocumentModel.h"
#include "image/codec/ImageCodec.h"
#include "workspace/TabItem.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>
#include <QRunnable>
#include <QThreadPool>
#include <QTimer>

#include <memory>

namespace scrivola {

namespace {
constexpr int kMargin = 12;

// Scale that fits `content` into `area`, or 0 when either is empty.
double fitScale(QSizeF content, QSizeF area) {
    if (content.width() <= 0 || content.height() <= 0 || area.width() <= 0 || area.height() <= 0) return 0;
    return std::min(area.width() / content.width(), area.height() / content.height());
}

// Runs `render` on Qt's shared pool (scaling one decoded image needs no pool of its own) and
// hands its picture, marked with `dpr`, to `done` on `owner`'s thread; nothing is delivered once
// `owner` is gone.
template <typename Render, typename Done>
void renderInBackground(QObject* owner, double dpr, Render render, Done done) {
    QThreadPool::globalInstance()->start(QRunnable::create([owner = QPointer<QObject>(owner), dpr, render, done] {
        QImage picture = render();
        picture.setDevicePixelRatio(dpr);
        QMetaObject::invokeMethod(qApp, [owner, picture, done] {
            if (owner) done(picture);
        }, Qt::QueuedConnection);
    }));
}
}  // namespace

DocumentPreview::DocumentPreview(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
}

DocumentPreview::~DocumentPreview() = default;

void DocumentPreview::setTab(TabItem* tab) {
    if (tab == tab_) return;
    for (const auto& c : connections_) disconnect(c);
    connections_.clear();
    tab_ = tab;
    picture_ = {};
    message_.clear();
    ++generation_;
    if (tab) {
        if (auto* image = qobject_cast<ImageDocumentContext*>(tab->context())) {
            connections_ << connect(image, &ImageDocumentContext::currentPageChanged, this, &DocumentPreview::scheduleRender);
            auto* model = qobject_cast<ImageDocumentModel*>(tab->content());
            connections_ << connect(model, &ImageDocumentModel::imageReady, this, [this, image](int index) {
                if (index == image->currentPage()) scheduleRender();
            });
            connections_ << connect(model, &ImageDocumentModel::imageChanged, this, &DocumentPreview::scheduleRender);
        }
    }
    scheduleRender();
    update();
}

void DocumentPreview::scheduleRender() {
    if (renderPending_) return;
    renderPending_ = true;
    QTimer::singleShot(0, this, [this] {
        renderPending_ = false;
        render();
    });
}

void DocumentPreview::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    scheduleRender();
}

void DocumentPreview::render() {
    ++generation_;
    if (!tab_ || width() <= 2 * kMargin || height() <= 2 * kMargin) return;
    if (auto* image = qobject_cast<ImageDocumentContext*>(tab_->context()))
        renderImage(image);
}

void DocumentPreview::renderImage(ImageDocumentContext* context) {
    auto* model = context->model();
    const int index = context->currentPage();
    if (index < 0 || index >= model->count()) return finish(generation_, {}, QString());
    const QImage source = model->cachedImage(index);
    if (source.isNull()) {
        if (model->hasDecodeFailed(index)) return finish(generation_, {}, QStringLiteral("This image could not be shown."));
        model->requestImage(index);  // imageReady brings us back here
        return;
    }
    const double dpr = devicePixelRatioF();
    const double scale = std::min(1.0, fitScale(source.size(), (QSizeF(size()) - QSizeF(2 * kMargin, 2 * kMargin)) * dpr));
    const QSize target(std::max(1, qRound(source.width() * scale)), std::max(1, qRound(source.height() * scale)));
    const quint64 generation = generation_;
    renderInBackground(
        this, dpr,
        [source, target] {
            const QImage scaled = target == source.size() ? source : ImageDrawing::scaled(source, target);
            return ImageCodec::toDisplayColorSpace(scaled);
        },
        [this, generation](const QImage& picture) { finish(generation, picture, {}); });
}

void DocumentPreview::finish(quint64 generation, const QImage& picture, const QString& message) {
    if (generation != generation_) return;
    picture_ = picture;
    message_ = message;
    update();
}

void DocumentPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!tab_) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Open a PDF or an image (Ctrl+O), or drop files here."));
        return;
    }
    if (picture_.isNull()) {
        if (!message_.isEmpty()) {
            painter.setPen(palette().color(QPalette::PlaceholderText));
            painter.drawText(rect(), Qt::AlignCenter, message_);
        }
        return;
    }
    const QSizeF shown = QSizeF(picture_.size()) / picture_.devicePixelRatio();
    const QPointF origin((width() - shown.width()) / 2, (height() - shown.height()) / 2);
    painter.drawImage(origin, picture_);
    if (!paintedOnce_) {
        paintedOnce_ = true;
        emit painted();
    }
}

}  // namespace scrivola
