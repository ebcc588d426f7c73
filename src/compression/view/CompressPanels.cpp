// The desktop's panels for the compression dialog, and the byte-count format.

#include "compression/view/CompressPanels.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

#include <cmath>

namespace scrivola {

namespace {

QString startFolder() { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }

}  // namespace

QString DialogCompressPanels::chooseSaveLocation(const QString& proposedName, const QString& filter) {
    QFileDialog dialog(parent_, QString(), startFolder() + QLatin1Char('/') + proposedName, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(proposedName);
    dialog.setDefaultSuffix(QFileInfo(proposedName).suffix());  // a name typed without one gets it
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

QString DialogCompressPanels::chooseFolder() {
    QFileDialog dialog(parent_, QString(), startFolder());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Save Here"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

bool DialogCompressPanels::confirmNotSmaller(const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Not Smaller"), message, QMessageBox::NoButton, parent_);
    box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    QPushButton* save = box.addButton(QStringLiteral("Save Anyway"), QMessageBox::AcceptRole);
    box.exec();
    return box.clickedButton() == save;
}

QString formatByteCount(qint64 bytes) {
    if (bytes <= 0) return QStringLiteral("Zero KB");
    const QLocale locale;
    // Each unit keeps as many decimals as its size needs, with trailing zeros dropped.
    const auto number = [&](double value, int decimals) {
        const double factor = std::pow(10.0, decimals);
        const double rounded = std::round(value * factor) / factor;
        QString text = locale.toString(rounded, 'f', decimals);
        if (decimals > 0) {
            while (text.endsWith(QLatin1Char('0'))) text.chop(1);
            if (text.endsWith(locale.decimalPoint())) text.chop(locale.decimalPoint().size());
        }
        return text;
    };
    const double kb = double(bytes) / 1000.0;
    if (std::round(kb) < 1000.0) return number(std::max(1.0, std::round(kb)), 0) + QStringLiteral(" KB");
    const double mb = kb / 1000.0;
    if (std::round(mb * 10.0) / 10.0 < 1000.0) return number(mb, 1) + QStringLiteral(" MB");
    return number(mb / 1000.0, 2) + QStringLiteral(" GB");
}

}  // namespace scrivola
