#include "workspace/WindowRegistry.h"

#include "workspace/AppViewModel.h"
#include "workspace/TabItem.h"

namespace scrivola {

WindowRegistry::WindowRegistry(QObject* parent) : QObject(parent) {}

void WindowRegistry::add(AppViewModel* model) {
    if (!model || contains(model)) return;
    models_.append(model);
    connect(model, &QObject::destroyed, this, [this] {
        models_.removeIf([](const QPointer<AppViewModel>& p) { return p.isNull(); });
        emit modelsChanged();
    });
    emit modelsChanged();
}

void WindowRegistry::remove(AppViewModel* model) {
    const auto removed = models_.removeIf([model](const QPointer<AppViewModel>& p) { return p.isNull() || p == model; });
    if (model) disconnect(model, nullptr, this, nullptr);
    if (removed > 0) emit modelsChanged();
}

bool WindowRegistry::contains(const AppViewModel* model) const {
    for (const auto& p : models_)
        if (p && p.data() == model) return true;
    return false;
}

QList<AppViewModel*> WindowRegistry::models() const {
    QList<AppViewModel*> result;
    for (const auto& p : models_)
        if (p) result.append(p.data());
    return result;
}

void WindowRegistry::bringToFront(AppViewModel* model) const {
    if (model && bringToFront_) bringToFront_(model);
}

bool WindowRegistry::moveTabToNewWindow(AppViewModel& source, const QString& idText) const {
    if (!openWindowWithTab_) return false;
    std::unique_ptr<TabItem> tab = source.removeTabForTransfer(idText);
    if (!tab) return false;
    openWindowWithTab_(std::move(tab));
    return true;
}

}  // namespace scrivola
