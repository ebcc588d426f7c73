#pragma once

#include "pdf/PDFExportPresenter.h"
#include "workspace/WorkspacePrompter.h"

#include <QPointer>
#include <QWidget>

namespace scrivola {

// The workspace's modal questions as the desktop's dialogs, parented to a window; also where
// exported pages go.
class DialogPrompter : public WorkspacePrompter, public PDFExportPresenter {
public:
    explicit DialogPrompter(QWidget* window) : window_(window) {}
    SaveResult showUnsavedChangesAlert(const TabItem& tab) override;
    QStringList chooseFilesToOpen() override;
    QString chooseSaveLocation(const QString& proposedName) override;
    QString chooseExportFile(const QString& proposedName, const QString& directory) override;

private:
    QPointer<QWidget> window_;
};

}  // namespace scrivola
