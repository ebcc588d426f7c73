// The compression sheet: layout, controls and the debounced estimate.

#include "compression/view/CompressDialogView.h"

#include "app/core/Theme.h"
#include "compression/CompressionService.h"
#include "compression/view/CompressPanels.h"
#include "image/ImageDocumentContext.h"
#include "image/ImageDocumentModel.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "workspace/TabItem.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace scrivola {

namespace {

constexpr int kDialogWidth = 380;
constexpr int kDebounceMs = 300;

QString percentText(double value) { return QString::number(int(std::trunc(value * 100.0 + 1e-9))) + QLatin1Char('%'); }

QFont pointFont(const QFont& base, qreal points, QFont::Weight weight = QFont::Normal) {
    QFont font = base;
    font.setPointSizeF(points);
    font.setWeight(weight);
    return font;
}

QLabel* captionLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(pointFont(label->font(), 10));
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

}  // namespace

// One labelled slider over [low, high] in steps of `step` (the last step may be shorter).
struct CompressDialogView::Slider {
    QWidget* row = nullptr;
    QSlider* slider = nullptr;
    QLabel* value = nullptr;
    double low = 0, high = 1, step = 0.1;
    std::function<QString(double)> format;

    int steps() const { return int(std::ceil((high - low) / step - 1e-9)); }
    double valueAt(int position) const {
        const double v = std::min(high, low + position * step);
        return std::round(v * 1e6) / 1e6;
    }
    void show(double v) const {
        const QSignalBlocker block(slider);
        slider->setValue(int(std::lround((v - low) / step)));
        value->setText(format(v));
    }
};

CompressDialogView::CompressDialogView(TabItem* tab, std::function<void()> onDismiss, CompressPanels* panels,
                                       QWidget* parent)
    : QDialog(parent), tab_(tab), onDismiss_(std::move(onDismiss)), panels_(panels) {
    if (!panels_) {
        ownPanels_ = std::make_unique<DialogCompressPanels>(this);
        panels_ = ownPanels_.get();
    }
    if (tab) {
        pdf_ = qobject_cast<PDFDocumentContext*>(tab->context());
        image_ = qobject_cast<ImageDocumentContext*>(tab->context());
    }
    kind_ = pdf_ ? Kind::pdf : image_ ? Kind::image : Kind::other;
    originalSize_ = computeOriginalSize();
    setWindowTitle(kind_ == Kind::pdf ? QStringLiteral("Compress PDF") : QStringLiteral("Compress Image"));
    setWindowModality(Qt::WindowModal);
    debounce_.setSingleShot(true);
    debounce_.setTimerType(Qt::PreciseTimer);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &CompressDialogView::updateEstimate);
    buildLayout();
    refresh();
    updateEstimateDebounced();
}

CompressDialogView::~CompressDialogView() {
    if (estimateCancel_) estimateCancel_->store(true);
    if (saveCancel_) saveCancel_->store(true);
}

void CompressDialogView::buildLayout() {
    setFixedWidth(kDialogWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    auto* title = new QLabel(windowTitle(), this);
    title->setFont(pointFont(font(), 14, QFont::DemiBold));
    auto* name = new QLabel(displayName(), this);
    name->setFont(pointFont(font(), 12));
    name->setForegroundRole(QPalette::PlaceholderText);
    auto* header = new QVBoxLayout;
    header->setSpacing(2);
    header->addWidget(title);
    header->addWidget(name);
    layout->addLayout(header);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);
    if (kind_ == Kind::pdf) controls_ = buildPdfControls();
    if (kind_ == Kind::image) controls_ = buildImageControls();
    if (controls_) layout->addWidget(controls_);

    // Sizes.
    auto* sizes = new QVBoxLayout;
    sizes->setSpacing(4);
    auto* originalRow = new QHBoxLayout;
    originalRow->addWidget(new QLabel(QStringLiteral("Original:"), this));
    originalRow->addStretch();
    originalValue_ = new QLabel(formatByteCount(originalSize_), this);
    originalRow->addWidget(originalValue_);
    sizes->addLayout(originalRow);
    compressedRow_ = new QWidget(this);
    auto* compressed = new QHBoxLayout(compressedRow_);
    compressed->setContentsMargins(0, 0, 0, 0);
    compressed->addWidget(new QLabel(QStringLiteral("Compressed:"), compressedRow_));
    compressed->addStretch();
    compressedValue_ = new QLabel(compressedRow_);
    savingValue_ = new QLabel(compressedRow_);
    QPalette accent = savingValue_->palette();
    accent.setColor(QPalette::WindowText, palette().color(QPalette::Highlight));
    savingValue_->setPalette(accent);
    compressed->addWidget(compressedValue_);
    compressed->addWidget(savingValue_);
    sizes->addWidget(compressedRow_);
    layout->addLayout(sizes);

    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->hide();
    layout->addWidget(message_);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(6);
    progress_->hide();
    layout->addWidget(progress_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    saveButton_ = new QPushButton(QStringLiteral("Save As..."), this);
    saveButton_->setDefault(true);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(saveButton_);
    layout->addLayout(buttons);
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        // During a save, Cancel stops the job and the sheet stays; otherwise it closes the sheet.
        if (isCompressing_ && saveCancel_) saveCancel_->store(true);
        else dismiss();
    });
    connect(saveButton_, &QPushButton::clicked, this, &CompressDialogView::saveCompressed);
}

CompressDialogView::Slider* CompressDialogView::addSlider(QWidget* parent, const QString& label, double low,
                                                          double high, double step, double value,
                                                          const QString& lowLabel, const QString& highLabel,
                                                          std::function<QString(double)> format,
                                                          std::function<void(double)> onChange) {
    auto slider = std::make_unique<Slider>();
    Slider* s = slider.get();
    s->low = low, s->high = high, s->step = step, s->format = std::move(format);
    s->row = new QWidget(parent);
    auto* column = new QVBoxLayout(s->row);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(label, s->row));
    top->addStretch();
    s->value = new QLabel(s->row);
    s->value->setFont(pointFont(s->value->font(), 11));
    top->addWidget(s->value);
    column->addLayout(top);
    s->slider = new QSlider(Qt::Horizontal, s->row);
    s->slider->setAccessibleName(label);
    s->slider->setRange(0, s->steps());
    s->slider->setPageStep(1);
    column->addWidget(s->slider);
    auto* ends = new QHBoxLayout;
    ends->addWidget(captionLabel(lowLabel, s->row));
    ends->addStretch();
    ends->addWidget(captionLabel(highLabel, s->row));
    column->addLayout(ends);
    s->show(value);
    connect(s->slider, &QSlider::valueChanged, this, [s, onChange = std::move(onChange)](int position) {
        onChange(s->valueAt(position));
    });
    parent->layout()->addWidget(s->row);
    sliders_.push_back(std::move(slider));
    return s;
}

QWidget* CompressDialogView::buildPdfControls() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    pdfQualitySlider_ = addSlider(box, QStringLiteral("Image Quality"), 0.1, 1.0, 0.05, pdfQuality_,
                                  QStringLiteral("Low"), QStringLiteral("High"), percentText,
                                  [this](double v) { setPdfQuality(v); });
    rasterize_ = new QCheckBox(QStringLiteral("Rasterize pages"), box);
    layout->addWidget(rasterize_);
    auto* caption = captionLabel(
        QStringLiteral("Converts to images. Use if standard compression doesn't reduce size enough."), box);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    connect(rasterize_, &QCheckBox::toggled, this, &CompressDialogView::setUseRasterization);
    dpiSlider_ = addSlider(box, QStringLiteral("DPI"), 72, 300, 10, pdfDPI_, QStringLiteral("72"), QStringLiteral("300"),
                           [](double v) { return QString::number(int(std::trunc(v))); },
                           [this](double v) { setPdfDPI(v); });
    return box;
}

QWidget* CompressDialogView::buildImageControls() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(new QLabel(QStringLiteral("Format"), box));
    formatRow->addStretch();
    formatRow->setSpacing(0);
    formats_ = new QButtonGroup(box);
    for (ImageOutputFormat format : ImageOutputFormats::allCases()) {
        auto* button = new QPushButton(ImageOutputFormats::rawValue(format), box);
        button->setCheckable(true);
        button->setChecked(format == imageFormat_);
        formats_->addButton(button, int(format));
        formatRow->addWidget(button);
    }
    connect(formats_, &QButtonGroup::idClicked, this, [this](int id) { setImageFormat(ImageOutputFormat(id)); });
    layout->addLayout(formatRow);
    imageQualitySlider_ = addSlider(box, QStringLiteral("Quality"), 0.1, 1.0, 0.05, imageQuality_, QStringLiteral("Low"),
                                    QStringLiteral("High"), percentText, [this](double v) { setImageQuality(v); });
    resolutionSlider_ = addSlider(box, QStringLiteral("Resolution"), 0.25, 1.0, 0.05, imageResolution_,
                                  QStringLiteral("25%"), QStringLiteral("100%"), percentText,
                                  [this](double v) { setImageResolution(v); });
    dimensions_ = captionLabel(QString(), box);
    layout->addWidget(dimensions_);
    return box;
}

// --- Values ---

void CompressDialogView::setPdfQuality(double value) {
    pdfQuality_ = value;
    if (pdfQualitySlider_) pdfQualitySlider_->show(value);
    updateEstimateDebounced();
}

void CompressDialogView::setPdfDPI(double value) {
    pdfDPI_ = value;
    if (dpiSlider_) dpiSlider_->show(value);
    updateEstimateDebounced();
}

void CompressDialogView::setUseRasterization(bool value) {
    useRasterization_ = value;
    if (rasterize_) {
        const QSignalBlocker block(rasterize_);
        rasterize_->setChecked(value);
    }
    updateEstimateDebounced();
}

void CompressDialogView::setImageQuality(double value) {
    imageQuality_ = value;
    if (imageQualitySlider_) imageQualitySlider_->show(value);
    updateEstimateDebounced();
}

void CompressDialogView::setImageResolution(double value) {
    imageResolution_ = value;
    if (resolutionSlider_) resolutionSlider_->show(value);
    updateEstimateDebounced();
}

void CompressDialogView::setImageFormat(ImageOutputFormat format) {
    imageFormat_ = format;
    if (formats_ && formats_->button(int(format))) formats_->button(int(format))->setChecked(true);
    updateEstimateDebounced();
}

bool CompressDialogView::isNoOp() const {
    if (kind_ == Kind::pdf) return pdfQuality_ >= 1.0 && !useRasterization_;
    return imageQuality_ >= 1.0 && imageResolution_ >= 1.0;
}

std::set<int> CompressDialogView::compressIndices() const {
    if (!image_) return {};
    const QSet<int>& selected = image_->selectedImages();
    if (!selected.isEmpty()) return {selected.begin(), selected.end()};
    return {image_->currentPage()};
}

qint64 CompressDialogView::computeOriginalSize() const {
    if (pdf_ && pdf_->model()) return CompressionService::fileSize(pdf_->model()->url()).value_or(0);
    if (!image_ || !image_->model()) return 0;
    qint64 total = 0;
    const auto& entries = image_->model()->entries();
    for (int index : compressIndices())
        if (index >= 0 && index < entries.size()) total += CompressionService::fileSize(entries[index].url).value_or(0);
    return total;
}

QString CompressDialogView::displayName() const {
    if (kind_ == Kind::pdf) {
        const QString url = pdf_->model() ? pdf_->model()->url() : QString();
        return url.isEmpty() ? QStringLiteral("PDF") : QFileInfo(url).fileName();
    }
    if (kind_ != Kind::image) return QStringLiteral("Document");
    const std::set<int> indices = compressIndices();
    if (indices.size() != 1) return QString::number(indices.size()) + QStringLiteral(" Images");
    const int index = *indices.begin();
    const auto& entries = image_->model()->entries();
    if (index < 0 || index >= entries.size()) return QStringLiteral("Image");
    return QFileInfo(entries[index].url).fileName();
}

QString CompressDialogView::messageText() const { return message_->isHidden() ? QString() : message_->text(); }

void CompressDialogView::setMessage(const QString& text, bool isError) {
    message_->setText(text);
    QPalette colours = message_->palette();
    colours.setColor(QPalette::WindowText, isError ? QColor(255, 59, 48) : palette().color(QPalette::WindowText));
    message_->setPalette(colours);
    message_->setVisible(!text.isEmpty());
}

void CompressDialogView::refresh() {
    if (dpiSlider_) dpiSlider_->row->setVisible(useRasterization_);
    if (imageQualitySlider_) imageQualitySlider_->row->setVisible(imageFormat_ != ImageOutputFormat::png);
    if (dimensions_) {
        QString text;
        const int index = image_ ? image_->currentPage() : -1;
        if (imageResolution_ < 1.0 && image_ && index >= 0 && index < image_->model()->count()) {
            const QSizeF size = image_->model()->pixelSize(index);
            const auto whole = [](double v) { return QString::number(qint64(std::trunc(v))); };
            text = whole(size.width()) + QStringLiteral(" × ") + whole(size.height()) + QStringLiteral(" → ") +
                   whole(size.width() * imageResolution_) + QStringLiteral(" × ") + whole(size.height() * imageResolution_);
        }
        dimensions_->setText(text);
        dimensions_->setVisible(!text.isEmpty());
    }
    compressedRow_->setVisible(!isNoOp());
    if (estimateCount_ == 0) {
        compressedValue_->setText(QStringLiteral("~…"));
        savingValue_->clear();
    } else if (!estimatedSize_) {
        compressedValue_->setText(QStringLiteral("unavailable"));
        savingValue_->clear();
    } else {
        compressedValue_->setText(QLatin1Char('~') + formatByteCount(*estimatedSize_));
        const qint64 saving = originalSize_ >= 1 ? std::max<qint64>(0, 100 - *estimatedSize_ * 100 / originalSize_) : 0;
        savingValue_->setText(originalSize_ >= 1 ? QStringLiteral("(%1% smaller)").arg(saving) : QString());
    }
    savingValue_->setVisible(!savingValue_->text().isEmpty());
    const bool estimateFailed = estimateCount_ > 0 && !estimatedSize_;
    saveButton_->setEnabled(kind_ != Kind::other && !isNoOp() && !isCompressing_ && !estimateFailed);
    // The accent colour, faded to 40 % while saving is not possible.
    const QColor accent = palette().color(QPalette::Highlight);
    QColor faded = accent;
    faded.setAlphaF(0.4f);
    const QString style = QStringLiteral("QPushButton { background-color: %1; color: %3; border-radius: %4px; "
                                         "padding: 4px 12px; } QPushButton:disabled { background-color: %2; }")
                              .arg(accent.name(QColor::HexArgb), faded.name(QColor::HexArgb),
                                   palette().color(QPalette::HighlightedText).name(),
                                   QString::number(Theme::smallCornerRadius));
    if (saveButton_->styleSheet() != style) saveButton_->setStyleSheet(style);
    // The settings stay as they are while a save runs.
    if (controls_) controls_->setEnabled(!isCompressing_);
    saveButton_->setText(isCompressing_ ? QStringLiteral("Saving…") : QStringLiteral("Save As..."));
    progress_->setVisible(isCompressing_);
}

// --- Estimate ---

void CompressDialogView::updateEstimateDebounced() {
    // A running estimate is for settings that no longer hold: its result is dropped.
    if (estimateCancel_) estimateCancel_->store(true);
    ++estimateGeneration_;
    debounce_.start();
    refresh();
}

void CompressDialogView::updateEstimate() {
    ++estimateCount_;
    const int generation = ++estimateGeneration_;
    estimateCancel_ = CompressJobs::newCancelFlag();
    const CompressJobs::CancelFlag cancel = estimateCancel_;
    if (kind_ == Kind::pdf) {
        const PDFCompressionSettings settings{pdfQuality_, pdfDPI_, useRasterization_};
        const PDFDocumentPtr document = pdf_->model() ? pdf_->model()->pdfDocument() : nullptr;
        if (!settings.useRasterization) {
            // Arithmetic on the file's size, or on the document's bytes when it has no file.
            auto size = CompressionService::fileSize(pdf_->model() ? pdf_->model()->url() : QString());
            if (!size) {
                if (const auto snapshot = pdfSnapshot()) size = snapshot->size();
            }
            showEstimate(size ? std::optional(CompressionService::estimateRedrawSize(*size, settings.quality))
                              : std::nullopt,
                         generation);
            return;
        }
        const int count = document ? document->pageCount() : 0;
        const PDFPagePtr first = count > 0 ? document->page(0) : nullptr;
        std::shared_ptr<PDFDisplayList> list;
        try {
            if (first) list = first->displayList(true);
        } catch (const PDFEngineError&) {
            list = nullptr;
        }
        if (!list) return showEstimate(std::nullopt, generation);
        CompressJobs::run<std::optional<qint64>>(
            this,
            [list, count, settings, cancel]() -> std::optional<qint64> {
                if (cancel->load()) return std::nullopt;
                return CompressJobs::estimateRasterizedPdf(*list, count, settings);
            },
            [this, generation](std::optional<qint64> bytes) { showEstimate(bytes, generation); });
        return;
    }
    if (kind_ != Kind::image) return;
    ImageDocumentModel* model = image_->model();
    int first = -1, count = 0;
    for (int index : compressIndices()) {
        if (index < 0 || index >= model->count() || model->hasDecodeFailed(index)) continue;
        if (first < 0) first = index;
        ++count;
    }
    if (first < 0) return showEstimate(std::nullopt, generation);
    const ImageEntry& entry = model->entries()[first];
    CompressJobs::ImageSource source;
    source.image = entry.id == estimatedEntryId_ && !entry.isEdited() ? estimatedImage_ : model->cachedImage(first);
    source.url = entry.url;
    const quint64 id = entry.id;
    const ImageCompressionSettings settings{imageQuality_, imageResolution_, imageFormat_};
    CompressJobs::run<CompressJobs::ImageEstimate>(
        this, [source, count, settings, cancel] { return CompressJobs::estimateImages(source, count, settings, cancel); },
        [this, generation, id](CompressJobs::ImageEstimate result) {
            if (!result.decoded.isNull()) {
                estimatedEntryId_ = id;
                estimatedImage_ = result.decoded;
            }
            showEstimate(result.bytes, generation);
        });
}

void CompressDialogView::showEstimate(std::optional<qint64> bytes, int generation) {
    if (generation != estimateGeneration_) return;  // superseded by a later change
    estimatedSize_ = bytes;
    refresh();
    emit estimateUpdated();
}

}  // namespace scrivola
