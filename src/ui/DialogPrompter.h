#pragma once

#include "workspace/WorkspacePrompter.h"

#include <QPointer>
#include <QWidget>

namespace scrivola {

// The workspace's modal questions as the desktop's dialogs, parented to a window.
class DialogPrompter : public WorkspacePrompter {
public:
    explicit DialogPrompter(QWidget* window) : window_(window) {}
    SaveResult showUnsavedChangesAlert(const TabItem& tab) override;
    QStringList chooseFilesToOpen() override;
    QString chooseSaveLocation(const QString& proposedName) override;

private:
    QPointer<QWidget> window_;
};

}  // namespace scrivola
