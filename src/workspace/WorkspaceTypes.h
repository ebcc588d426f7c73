#pragma once

#include <QString>

namespace scrivola {

// How the two panes of a split window stand: side by side (horizontal) or one above the other (vertical).
enum class SplitDirection { horizontal, vertical };

// The answer of the unsaved-changes alert.
enum class SaveResult { save, dontSave, cancel };

// Texts of the unsaved-changes alert, shared by the alert the application shows and by tests.
namespace UnsavedChangesAlert {
inline QString message(const QString& displayName) {
    return QStringLiteral("Do you want to save changes to \"") + displayName + QStringLiteral("\"?");
}
inline QString informativeText() { return QStringLiteral("Your changes will be lost if you don't save them."); }
inline QString saveButton() { return QStringLiteral("Save"); }
inline QString dontSaveButton() { return QStringLiteral("Don't Save"); }
inline QString cancelButton() { return QStringLiteral("Cancel"); }
}  // namespace UnsavedChangesAlert

// The title of a window without an active tab.
inline QString defaultWindowTitle() { return QStringLiteral("Scrivola"); }

}  // namespace scrivola
