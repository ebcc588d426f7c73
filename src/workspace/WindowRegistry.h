#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

namespace scrivola {

class AppViewModel;

// The live window models of the application, in the order their windows were added, and the way
// to bring a model's window to the front. The application fills it; the workspace searches it.
class WindowRegistry : public QObject {
    Q_OBJECT
public:
    using BringToFront = std::function<void(AppViewModel*)>;

    explicit WindowRegistry(QObject* parent = nullptr);

    // Adds the model (once); a destroyed model leaves the list by itself.
    void add(AppViewModel* model);
    void remove(AppViewModel* model);
    bool contains(const AppViewModel* model) const;
    QList<AppViewModel*> models() const;

    void setBringToFront(BringToFront bringToFront) { bringToFront_ = std::move(bringToFront); }
    // Brings the model's window to the front as key window (nothing without a callback).
    void bringToFront(AppViewModel* model) const;

signals:
    void modelsChanged();

private:
    QList<QPointer<AppViewModel>> models_;
    BringToFront bringToFront_;
};

}  // namespace scrivola
