#pragma once

#include <QStringList>

class QWidget;

namespace scrivola {

// The open dialog of the workspace: several files of the supported types, or folders (whose
// documents open together). A folder is entered by double-clicking it and taken as it is by
// selecting it and pressing Open. Empty when cancelled.
namespace OpenPanel {
QStringList chooseFilesAndFolders(QWidget* parent);
}

}  // namespace scrivola
