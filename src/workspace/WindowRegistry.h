#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace scrivola {

class AppViewModel;
class TabItem;

// The live window models of the application, in the order their windows were added, and the way
// to bring a model's window to the front. The application fills it; the workspace searches it.
class WindowRegistry : public QObject {
    Q_OBJECT
public:
    using BringToFront = std::function<void(AppViewModel*)>;
    // Opens a new window whose first pane takes the tab.
    using OpenWindowWithTab = std::function<void(std::unique_ptr<TabItem>)>;

    explicit WindowRegistry(QObject* parent = nullptr);

    // Adds the model (once); a destroyed model leaves the list by itself.
    void add(AppViewModel* model);
    void remove(AppViewModel* model);
    bool contains(const AppViewModel* model) const;
    QList<AppViewModel*> models() const;

    void setBringToFront(BringToFront bringToFront) { bringToFront_ = std::move(bringToFront); }
    // Brings the model's window to the front as key window (nothing without a callback).
    void bringToFront(AppViewModel* model) const;

    void setOpenWindowWithTab(OpenWindowWithTab open) { openWindowWithTab_ = std::move(open); }
    // Whether a tab can be moved into a new window (the application gave the way to open one).
    bool canOpenWindowWithTab() const { return bool(openWindowWithTab_); }
    // Takes the tab with this id text out of `source` and opens a new window with it. Without a
    // way to open windows, or when `source` holds no such tab, nothing changes; returns whether moved.
    bool moveTabToNewWindow(AppViewModel& source, const QString& idText) const;

signals:
    void modelsChanged();

private:
    QList<QPointer<AppViewModel>> models_;
    BringToFront bringToFront_;
    OpenWindowWithTab openWindowWithTab_;
};

}  // namespace scrivola
