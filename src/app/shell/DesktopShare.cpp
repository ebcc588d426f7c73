#include "app/shell/DesktopShare.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <QVariantMap>
#include <QWidget>

#include <fcntl.h>
#include <unistd.h>

namespace scrivola {

DesktopShare::DesktopShare(QObject* parent) : QObject(parent) {}

QString DesktopShare::parentWindowHandle(QWidget* window) {
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb")) return {};
    return QStringLiteral("x11:") + QString::number(quintptr(window->window()->winId()), 16);
}

bool DesktopShare::openWithDefaultApplication(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopShare::share(const QString& path, QWidget* parent, Done done) {
    const auto finish = [done](bool handed) {
        if (done) done(handed);
    };
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        finish(false);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (!bus.isConnected() || fd < 0) {
        if (fd >= 0) ::close(fd);
        finish(openWithDefaultApplication(path));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                                       QStringLiteral("/org/freedesktop/portal/desktop"),
                                                       QStringLiteral("org.freedesktop.portal.OpenURI"),
                                                       QStringLiteral("OpenFile"));
    QVariantMap options;
    options.insert(QStringLiteral("ask"), true);
    // The descriptor is duplicated into the message; ours is closed at once.
    call << parentWindowHandle(parent) << QVariant::fromValue(QDBusUnixFileDescriptor(fd)) << options;
    ::close(fd);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, path, finish] {
        watcher->deleteLater();
        // The portal took the request and shows its chooser; cancelling it there is the user's choice.
        if (!watcher->isError()) {
            finish(true);
            return;
        }
        finish(openWithDefaultApplication(path));
    });
}

}  // namespace scrivola
