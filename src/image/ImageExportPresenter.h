#pragma once

// What exporting and printing images ask of the user: the format question, the save panel, the
// folder chooser and the print dialog. The app implements these with its dialogs; tests fake them.
// Also the page geometry of printed images.

#include <QRectF>
#include <QSizeF>
#include <QString>

#include <algorithm>
#include <optional>

class QPagedPaintDevice;

namespace scrivola {

class ImageExportPresenter {
public:
    // Texts of the format question.
    static constexpr const char* kFormatMessage = "Choose the export format:";
    static constexpr const char* kJPEGButton = "JPEG";
    static constexpr const char* kPNGButton = "PNG";
    static constexpr const char* kTIFFButton = "TIFF";
    static constexpr const char* kCancelButton = "Cancel";
    // The confirming button of the folder chooser.
    static constexpr const char* kExportHereButton = "Export Here";

    // "Export Image" for one image, otherwise "Export N Images".
    static QString title(int imageCount) {
        return imageCount == 1 ? QStringLiteral("Export Image") : QStringLiteral("Export %1 Images").arg(imageCount);
    }
    // The answer of the format question from the button pressed (0-based, in the order JPEG,
    // PNG, TIFF, Cancel): "jpeg", "png", "tiff", or none. HEIC is not offered for export.
    static std::optional<QString> extensionForButton(int button) {
        switch (button) {
        case 0: return QStringLiteral("jpeg");
        case 1: return QStringLiteral("png");
        case 2: return QStringLiteral("tiff");
        default: return std::nullopt;
        }
    }

    virtual ~ImageExportPresenter() = default;
    // Asks for the format of `imageCount` images: "jpeg", "png", "tiff", or none when cancelled.
    virtual std::optional<QString> chooseFormat(int imageCount) = 0;
    // A save panel proposing `proposedName`; the chosen file, or empty when cancelled.
    virtual QString chooseSaveLocation(const QString& proposedName) = 0;
    // A folder chooser (new folders allowed, button "Export Here"); the folder, or empty when cancelled.
    virtual QString chooseFolder() = 0;
};

class ImagePrintPresenter {
public:
    virtual ~ImagePrintPresenter() = default;
    // Runs the print dialog for `pageCount` pages. The device to paint the pages into (a QPrinter
    // in the app), owned by the presenter, or null when the user cancels.
    virtual QPagedPaintDevice* beginPrinting(int pageCount) = 0;
    // After the pages were painted into the device; `completed` is false when painting failed.
    virtual void endPrinting(bool completed) = 0;
};

// Pages of printed images stacked top to bottom: page n (1-based) occupies
// (0, (n − 1) × height, width, height); each image is scaled to fit its page (small images are
// enlarged) and centred in it.
namespace ImagePrintGeometry {

inline QRectF rectForPage(int n, QSizeF pageSize) {
    return QRectF(0, (n - 1) * pageSize.height(), pageSize.width(), pageSize.height());
}

// Where image i (0-based) of `imageSize` (any unit; only the proportions count) is drawn.
inline QRectF imageRect(int i, QSizeF imageSize, QSizeF pageSize) {
    if (!(imageSize.width() > 0) || !(imageSize.height() > 0)) return {};
    const double k = std::min(pageSize.width() / imageSize.width(), pageSize.height() / imageSize.height());
    const QSizeF drawn = imageSize * k;
    return QRectF((pageSize.width() - drawn.width()) / 2, i * pageSize.height() + (pageSize.height() - drawn.height()) / 2,
                  drawn.width(), drawn.height());
}

}  // namespace ImagePrintGeometry

}  // namespace scrivola
