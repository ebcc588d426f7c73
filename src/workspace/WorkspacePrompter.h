#pragma once

#include "workspace/WorkspaceTypes.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace scrivola {

class TabItem;

// The modal questions the workspace asks. The application implements them with its dialogs
// (texts in UnsavedChangesAlert, types from DocumentTypes); tests answer them directly.
class WorkspacePrompter {
public:
    virtual ~WorkspacePrompter() = default;
    // The unsaved-changes alert for the tab; any way of leaving it other than the two buttons is cancel.
    virtual SaveResult showUnsavedChangesAlert(const TabItem& tab) = 0;
    // The open dialog: several files and folders of the supported types; empty when cancelled.
    virtual QStringList chooseFilesToOpen() = 0;
    // The save dialog with the name field preset; empty when cancelled.
    virtual QString chooseSaveLocation(const QString& proposedName) = 0;
    // The password of the PDF named `fileName`; `wrongPassword` when the last one given did not
    // open it. None when the user cancels (nothing is opened then).
    virtual std::optional<QString> askPassword(const QString& fileName, bool wrongPassword) {
        Q_UNUSED(fileName);
        Q_UNUSED(wrongPassword);
        return std::nullopt;
    }
};

}  // namespace scrivola
