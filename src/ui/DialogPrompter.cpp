#include "ui/DialogPrompter.h"

#include "ui/OpenPanel.h"
#include "workspace/DocumentTypes.h"
#include "workspace/TabItem.h"
#include "workspace/WorkspaceTypes.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace scrivola {

DialogPrompter::DialogPrompter(QWidget* window) : window_(window) {}

DialogPrompter::~DialogPrompter() = default;

SaveResult DialogPrompter::showUnsavedChangesAlert(const TabItem& tab) {
    QMessageBox box(window_);
    box.setIcon(QMessageBox::Warning);
    box.setWindowModality(Qt::WindowModal);
    box.setText(UnsavedChangesAlert::message(tab.content()->displayName()));
    box.setInformativeText(UnsavedChangesAlert::informativeText());
    QPushButton* save = box.addButton(UnsavedChangesAlert::saveButton(), QMessageBox::AcceptRole);
    QPushButton* dontSave = box.addButton(UnsavedChangesAlert::dontSaveButton(), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(UnsavedChangesAlert::cancelButton(), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save) return SaveResult::save;
    if (box.clickedButton() == dontSave) return SaveResult::dontSave;
    return SaveResult::cancel;
}

QStringList DialogPrompter::chooseFilesToOpen() { return OpenPanel::chooseFilesAndFolders(window_); }

QString DialogPrompter::chooseSaveLocation(const QString& proposedName) {
    return QFileDialog::getSaveFileName(window_, QStringLiteral("Save As"), proposedName);
}

std::optional<QString> DialogPrompter::askPassword(const QString& fileName, bool wrongPassword) {
    QInputDialog dialog(window_);
    dialog.setWindowTitle(QStringLiteral("Password Required"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(QLineEdit::Password);
    const QString quoted = QStringLiteral("\u201C%1\u201D").arg(fileName);
    dialog.setLabelText(wrongPassword ? QStringLiteral("Wrong password for %1. Try again:").arg(quoted)
                                      : QStringLiteral("%1 is protected with a password. Enter the password to open it:").arg(quoted));
    dialog.setOkButtonText(QStringLiteral("Open"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}

QString DialogPrompter::chooseExportFile(const QString& proposedName, const QString& directory) {
    const QString proposed = directory.isEmpty() ? proposedName : QDir(directory).filePath(proposedName);
    QFileDialog dialog(window_, QStringLiteral("Export"), proposed, QStringLiteral("PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QPagedPaintDevice* DialogPrompter::beginPrint(const PDFPrintJob& job) {
    printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setDocName(job.documentName);
    QPrintDialog dialog(printer_.get(), window_);
    dialog.setMinMax(1, std::max(1, job.pageCount));
    if (dialog.exec() != QDialog::Accepted) {
        printer_.reset();
        return nullptr;
    }
    return printer_.get();
}

void DialogPrompter::finishPrint(QPagedPaintDevice*, bool) { printer_.reset(); }

}  // namespace scrivola
