#pragma once

#include "pdf/PDFExportPresenter.h"
#include "pdf/PDFPrinting.h"
#include "workspace/WorkspacePrompter.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QPrinter;

namespace scrivola {

// The workspace's modal questions as the desktop's dialogs, parented to a window; also where
// exported pages go and which printer PDFs print on.
class DialogPrompter : public WorkspacePrompter, public PDFExportPresenter, public PDFPrintPresenter {
public:
    explicit DialogPrompter(QWidget* window);
    ~DialogPrompter() override;
    SaveResult showUnsavedChangesAlert(const TabItem& tab) override;
    QStringList chooseFilesToOpen() override;
    QString chooseSaveLocation(const QString& proposedName) override;
    std::optional<QString> askPassword(const QString& fileName, bool wrongPassword) override;
    QString chooseExportFile(const QString& proposedName, const QString& directory) override;
    // The print dialog, over the document's pages; null when cancelled.
    QPagedPaintDevice* beginPrint(const PDFPrintJob& job) override;
    void finishPrint(QPagedPaintDevice* device, bool succeeded) override;

private:
    QPointer<QWidget> window_;
    std::unique_ptr<QPrinter> printer_;
};

}  // namespace scrivola
