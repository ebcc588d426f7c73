#pragma once

// The questions the compression dialog asks the user, behind an interface so that tests answer
// them without showing a modal dialog.

#include <QString>

class QWidget;

namespace scrivola {

class CompressPanels {
public:
    virtual ~CompressPanels() = default;
    // A save panel with `proposedName` filled in, allowing only `filter` ("PDF (*.pdf)"); the
    // chosen path, empty when cancelled.
    virtual QString chooseSaveLocation(const QString& proposedName, const QString& filter) = 0;
    // A folder chooser whose button reads "Save Here"; the folder, empty when cancelled.
    virtual QString chooseFolder() = 0;
    // Asked before writing a result that is not smaller than its source; true writes it.
    virtual bool confirmNotSmaller(const QString& message) = 0;
};

// The desktop's file dialogs and a message box, parented to `parent`.
class DialogCompressPanels : public CompressPanels {
public:
    explicit DialogCompressPanels(QWidget* parent) : parent_(parent) {}
    QString chooseSaveLocation(const QString& proposedName, const QString& filter) override;
    QString chooseFolder() override;
    bool confirmNotSmaller(const QString& message) override;

private:
    QWidget* parent_;
};

// A byte count as file sizes are shown: 1000-based KB, MB or GB ("Zero KB", "895 KB", "1.5 MB",
// "2.25 GB"); a count under 1 KB reads "1 KB".
QString formatByteCount(qint64 bytes);

}  // namespace scrivola
