#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace scrivola {

// "Share...": hands a file to the desktop's open-with chooser, the portal's OpenURI.OpenFile with
// {"ask": true}, given the file as a descriptor so that sandboxed desktops can reach it. Where no
// portal answers, the file goes to the desktop's default application for its type instead.
class DesktopShare : public QObject {
    Q_OBJECT
public:
    // Called once with false when neither the portal nor the fallback could take the file.
    using Done = std::function<void(bool handed)>;

    explicit DesktopShare(QObject* parent = nullptr);

    // parent: the window the chooser belongs to (its X11 id is passed to the portal), or null.
    void share(const QString& path, QWidget* parent, Done done = {});

    // The portal's identifier of a window ("x11:1a00007"), empty where it has none to give.
    static QString parentWindowHandle(QWidget* window);

private:
    static bool openWithDefaultApplication(const QString& path);
};

}  // namespace scrivola
