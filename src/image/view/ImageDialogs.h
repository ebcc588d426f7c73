#pragma once

#include "image/ImageExportPresenter.h"

#include <memory>

class QPrinter;

namespace scrivola {

// The application's dialogs for exporting and printing images: the format question, the save
// panel, the folder chooser and the print dialog, over the active window. One instance serves
// every image tab, so it outlives any context that holds it.
class ImageDialogs : public ImageExportPresenter, public ImagePrintPresenter {
public:
    static ImageDialogs& shared();

    std::optional<QString> chooseFormat(int imageCount) override;
    QString chooseSaveLocation(const QString& proposedName) override;
    QString chooseFolder() override;
    QPagedPaintDevice* beginPrinting(int pageCount) override;
    void endPrinting(bool completed) override;

private:
    ImageDialogs();
    ~ImageDialogs() override;
    std::unique_ptr<QPrinter> printer_;
};

}  // namespace scrivola
