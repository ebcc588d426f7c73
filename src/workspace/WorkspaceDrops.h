#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QMimeData;

namespace scrivola {

class AppViewModel;

// What the window and pane views do with a drop, kept free of widgets.
namespace WorkspaceDrops {

// Told the locations just dropped, before they are opened (so the same files arriving again as an
// open request can be recognised).
using MarkAsDropped = std::function<void(const QStringList& paths)>;

// The content of a drag: local file paths, or else texts (a dragged tab offers its id as text).
struct Payload {
    QStringList paths;
    QStringList texts;
    bool isEmpty() const { return paths.isEmpty() && texts.isEmpty(); }
};

// The local files among the URLs; other URLs yield nothing.
QStringList localPaths(const QList<QUrl>& urls);
// Reads a drag's data: file URLs when it has any, otherwise its UTF-8 text.
Payload payload(const QMimeData& data);
// Whether a window accepts the drag (it carries local files).
bool hasFiles(const QMimeData& data);

// Files dropped onto the window outside the panes: marks them, opens them and ends the drop highlight.
void dropOnWindow(AppViewModel& model, const QStringList& paths, const MarkAsDropped& markAsDropped = {});

// A drop onto the pane at paneIndex. Files: marked, the pane focused, opened. Otherwise each text
// that is a tab id moves that tab here, from this window or from another window of the registry.
// Returns whether anything was opened or moved.
bool dropOnPane(AppViewModel& model, int paneIndex, const Payload& payload, const MarkAsDropped& markAsDropped = {});

}  // namespace WorkspaceDrops
}  // namespace scrivola
