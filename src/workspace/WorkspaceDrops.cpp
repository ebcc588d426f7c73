#include "workspace/WorkspaceDrops.h"

#include "workspace/AppViewModel.h"
#include "workspace/WindowRegistry.h"

#include <QMimeData>
#include <QUuid>

namespace scrivola::WorkspaceDrops {

QStringList localPaths(const QList<QUrl>& urls) {
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        if (!path.isEmpty()) paths.append(path);
    }
    return paths;
}

Payload payload(const QMimeData& data) {
    Payload result;
    if (data.hasUrls()) result.paths = localPaths(data.urls());
    if (result.paths.isEmpty() && data.hasText()) result.texts.append(data.text());
    return result;
}

bool hasFiles(const QMimeData& data) { return data.hasUrls() && !localPaths(data.urls()).isEmpty(); }

void dropOnWindow(AppViewModel& model, const QStringList& paths, const MarkAsDropped& markAsDropped) {
    if (!paths.isEmpty()) {
        if (markAsDropped) markAsDropped(paths);
        model.openFiles(paths);
    }
    model.setDropTargetActive(false);
}

bool dropOnPane(AppViewModel& model, int paneIndex, const Payload& payload, const MarkAsDropped& markAsDropped) {
    if (!payload.paths.isEmpty()) {
        if (markAsDropped) markAsDropped(payload.paths);
        model.setFocusedPaneIndex(paneIndex);
        model.openFiles(payload.paths);
        return true;
    }
    bool changed = false;
    for (const QString& text : payload.texts) {
        const QUuid id = QUuid::fromString(text.trimmed());
        if (id.isNull()) continue;
        if (TabItem* tab = model.findTab(id)) {
            const int before = model.paneIndexOf(id);
            model.moveTab(*tab, paneIndex);
            changed = changed || model.paneIndexOf(id) != before;
            continue;
        }
        WindowRegistry* registry = model.environment().registry;
        if (!registry) continue;
        for (AppViewModel* other : registry->models()) {
            if (other == &model) continue;
            if (auto tab = other->removeTabForTransfer(TabItem::idText(id))) {
                model.adoptTab(std::move(tab), paneIndex);
                changed = true;
                break;
            }
        }
    }
    return changed;
}

}  // namespace scrivola::WorkspaceDrops
