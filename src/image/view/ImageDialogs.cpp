#include "image/view/ImageDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace scrivola {

ImageDialogs& ImageDialogs::shared() {
    static ImageDialogs dialogs;
    return dialogs;
}

ImageDialogs::ImageDialogs() = default;
ImageDialogs::~ImageDialogs() = default;

std::optional<QString> ImageDialogs::chooseFormat(int imageCount) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title(imageCount));
    box.setText(QStringLiteral("<b>%1</b>").arg(title(imageCount)));
    box.setInformativeText(QString::fromLatin1(kFormatMessage));
    box.setIconPixmap(QApplication::windowIcon().pixmap(60, 60));
    // One role for all four keeps them in this order whatever the desktop's button layout
    // (some put Cancel first); Escape and closing the box answer Cancel.
    const char* labels[] = {kJPEGButton, kPNGButton, kTIFFButton};
    QList<QAbstractButton*> buttons;
    for (const char* label : labels) buttons << box.addButton(QString::fromLatin1(label), QMessageBox::ActionRole);
    QPushButton* cancel = box.addButton(QString::fromLatin1(kCancelButton), QMessageBox::ActionRole);
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
    box.setEscapeButton(cancel);
    box.exec();
    return extensionForButton(int(buttons.indexOf(box.clickedButton())));
}

QString ImageDialogs::chooseSaveLocation(const QString& proposedName) {
    // A name typed without an extension gets the chosen format's: the extension picks the encoder.
    QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("Export"), QDir::home().filePath(proposedName));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QFileInfo(proposedName).suffix());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString ImageDialogs::chooseFolder() {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setLabelText(QFileDialog::Accept, QString::fromLatin1(kExportHereButton));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QPagedPaintDevice* ImageDialogs::beginPrinting(int pageCount) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer_.get(), QApplication::activeWindow());
    dialog.setMinMax(1, pageCount);
    if (dialog.exec() != QDialog::Accepted) {
        printer_.reset();
        return nullptr;
    }
    return printer_.get();
}

void ImageDialogs::endPrinting(bool) { printer_.reset(); }

}  // namespace scrivola
