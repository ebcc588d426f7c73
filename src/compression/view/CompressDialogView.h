#pragma once

// The sheet in which the user compresses the document of one tab into new files: image quality,
// rasterisation and its resolution for a PDF; format, quality and downscaling for images. It
// shows the current size and a live estimate, debounced by 0.3 s and computed on the thread
// pool, and saves through CompressPanels after compressing on the thread pool with a progress
// bar. The tab's document is never changed, and no output replaces a source file.

#include "compression/CompressionSettings.h"
#include "compression/view/CompressJobs.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <set>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;

namespace scrivola {

class CompressPanels;
class ImageDocumentContext;
class PDFDocumentContext;
class TabItem;

class CompressDialogView : public QDialog {
    Q_OBJECT
public:
    // `panels` answers the save questions (the desktop's dialogs when null; not owned).
    CompressDialogView(TabItem* tab, std::function<void()> onDismiss, CompressPanels* panels = nullptr,
                       QWidget* parent = nullptr);
    ~CompressDialogView() override;

    // Control values, as the sliders, checkbox and picker set them.
    double pdfQuality() const { return pdfQuality_; }
    double pdfDPI() const { return pdfDPI_; }
    bool useRasterization() const { return useRasterization_; }
    double imageQuality() const { return imageQuality_; }
    double imageResolution() const { return imageResolution_; }
    ImageOutputFormat imageFormat() const { return imageFormat_; }
    void setPdfQuality(double value);
    void setPdfDPI(double value);
    void setUseRasterization(bool value);
    void setImageQuality(double value);
    void setImageResolution(double value);
    void setImageFormat(ImageOutputFormat format);

    // The last estimate in bytes; none while unavailable (it failed, or none has arrived).
    std::optional<qint64> estimatedSize() const { return estimatedSize_; }
    qint64 originalSize() const { return originalSize_; }
    bool isNoOp() const;
    bool isCompressing() const { return isCompressing_; }
    // Estimates started so far (a burst of changes starts one).
    int estimateCount() const { return estimateCount_; }
    QString displayName() const;
    // The first name offered by the save panel for one file.
    QString proposedFileName() const;
    // The line under the sizes: why nothing was saved, or what failed; empty when all is well.
    QString messageText() const;

    // Restarts the 0.3-second wait before the next estimate.
    void updateEstimateDebounced();
    // Asks where to save, compresses off the main thread and writes; see the class comment.
    void saveCompressed();

signals:
    // An estimate arrived (or failed) and the size display shows it.
    void estimateUpdated();
    // Compressing or writing failed; `message` is the DocumentError's description.
    void compressionFailed(const QString& message);
    // A save job ended, whether written, declined, cancelled or failed.
    void saveFinished();

protected:
    void reject() override;

private:
    enum class Kind { pdf, image, other };
    struct Slider;

    void buildLayout();
    QWidget* buildPdfControls();
    QWidget* buildImageControls();
    Slider* addSlider(QWidget* parent, const QString& label, double low, double high, double step, double value,
                      const QString& lowLabel, const QString& highLabel, std::function<QString(double)> format,
                      std::function<void(double)> onChange);
    void refresh();
    void updateEstimate();
    void showEstimate(std::optional<qint64> bytes, int generation);
    std::set<int> compressIndices() const;
    qint64 computeOriginalSize() const;
    std::optional<QByteArray> pdfSnapshot();
    // True (with the message shown) when `target` would replace a source file of the tab.
    bool refusesTarget(const QString& target);
    void savePDF();
    void saveImages();
    void beginJob(int total);
    void finishWriting(std::vector<CompressJobs::CompressedFile> files);
    void endJob();
    void setMessage(const QString& text, bool isError);
    void dismiss();

    QPointer<TabItem> tab_;
    std::function<void()> onDismiss_;
    std::unique_ptr<CompressPanels> ownPanels_;
    CompressPanels* panels_;
    Kind kind_ = Kind::other;
    QPointer<PDFDocumentContext> pdf_;
    QPointer<ImageDocumentContext> image_;

    double pdfQuality_ = 0.85;
    double pdfDPI_ = 150.0;
    bool useRasterization_ = false;
    double imageQuality_ = 0.85;
    double imageResolution_ = 1.0;
    ImageOutputFormat imageFormat_ = ImageOutputFormat::jpeg;
    std::optional<qint64> estimatedSize_;
    qint64 originalSize_ = 0;
    bool isCompressing_ = false;
    bool dismissed_ = false;
    int estimateCount_ = 0;
    int estimateGeneration_ = 0;
    QTimer debounce_;
    CompressJobs::CancelFlag estimateCancel_;
    CompressJobs::CancelFlag saveCancel_;
    // Decoded pixels of the estimated image, by entry id, reused by the next estimate.
    quint64 estimatedEntryId_ = 0;
    QImage estimatedImage_;
    std::optional<QByteArray> pdfSnapshot_;

    QWidget* controls_ = nullptr;
    std::vector<std::unique_ptr<Slider>> sliders_;
    Slider* pdfQualitySlider_ = nullptr;
    Slider* dpiSlider_ = nullptr;
    Slider* imageQualitySlider_ = nullptr;
    Slider* resolutionSlider_ = nullptr;
    QCheckBox* rasterize_ = nullptr;
    QButtonGroup* formats_ = nullptr;
    QLabel* dimensions_ = nullptr;
    QLabel* originalValue_ = nullptr;
    QWidget* compressedRow_ = nullptr;
    QLabel* compressedValue_ = nullptr;
    QLabel* savingValue_ = nullptr;
    QLabel* message_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
};

// Shows the compression sheet, window-modal on `anchor`'s window, whenever the tab's context asks
// for it (its isCompressSheetVisible flag); dismissing it clears the flag. The hook lives as long
// as `anchor` (the widget that shows the tab). `panels` (not owned) replaces the desktop's
// dialogs, for tests; `onFailure` receives the message of a failed compression or write, for the
// window's message bar.
void showCompressSheetWhenAsked(QWidget* anchor, TabItem* tab, CompressPanels* panels = nullptr,
                                std::function<void(const QString&)> onFailure = {});

}  // namespace scrivola
