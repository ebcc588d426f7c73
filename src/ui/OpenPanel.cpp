#include "ui/OpenPanel.h"

#include "workspace/DocumentTypes.h"

#include <QFileDialog>
#include <QFileInfo>

#include <algorithm>

namespace scrivola {

namespace {

// A file dialog whose Open button takes folders as well as files. The desktop's own dialog
// (portal or GTK) offers either files or folders, never both, so Qt's dialog is used.
class FilesAndFoldersDialog : public QFileDialog {
public:
    explicit FilesAndFoldersDialog(QWidget* parent) : QFileDialog(parent, QStringLiteral("Open")) {
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(QFileDialog::ExistingFiles);
        setAcceptMode(QFileDialog::AcceptOpen);
        setNameFilters({DocumentTypes::openDialogFilter(), QStringLiteral("All files (*)")});
    }

    void accept() override {
        // QFileDialog itself would enter a selected folder; here it is the choice, like a file.
        const QStringList chosen = selectedFiles();
        const bool allExist = !chosen.isEmpty() && std::all_of(chosen.begin(), chosen.end(), [](const QString& path) {
            return QFileInfo::exists(path);
        });
        const bool typedFolderToEnter = chosen.size() == 1 && QFileInfo(chosen.first()).isDir() &&
                                        QFileInfo(chosen.first()) == QFileInfo(directory().absolutePath());
        if (allExist && !typedFolderToEnter) {
            chosen_ = chosen;
            done(QDialog::Accepted);
            return;
        }
        QFileDialog::accept();
    }

    QStringList chosen() const { return chosen_.isEmpty() ? selectedFiles() : chosen_; }

private:
    QStringList chosen_;
};

}  // namespace

QStringList OpenPanel::chooseFilesAndFolders(QWidget* parent) {
    FilesAndFoldersDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.chosen();
}

}  // namespace scrivola
