// Scrivola: start-up. One process per user runs the windows; a later launch hands its files (or
// its request for a new window) to that process and exits.
#include "app/core/AppearanceSettings.h"
#include "app/core/BrenixStatusService.h"
#include "app/core/DesktopColorScheme.h"
#include "app/core/Theme.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/FirstPaintWatch.h"
#include "app/shell/SingleInstance.h"
#include "ui/WorkspaceWindow.h"
#include "workspace/AppViewModel.h"
#include "workspace/RecentlyUsedXbel.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

using namespace scrivola;

namespace {

void applyAppearance(const AppearanceSettings& settings, const DesktopColorScheme& desktop, const QPalette& systemPalette) {
    QApplication::setPalette(settings.palette(desktop.prefersDark(systemPalette), systemPalette));
}

// Nothing is written to the console in normal use; SCRIVOLA_DEBUG=1 lets Qt's messages through.
void dropQtMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("SCRIVOLA_DEBUG")) qInstallMessageHandler(dropQtMessages);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Scrivola"));
    QApplication::setApplicationName(QStringLiteral("Scrivola"));
    QApplication::setApplicationVersion(QStringLiteral("0.1.0"));
    QApplication::setDesktopFileName(QStringLiteral("scrivola"));

    // "--new-window" (the desktop entry's action) asks for a window; other arguments are files.
    SingleInstance::Request request;
    for (const QString& arg : QApplication::arguments().mid(1)) {
        if (arg == QLatin1String("--new-window")) request.newWindow = true;
        else if (!arg.startsWith(QLatin1String("--"))) request.files << QFileInfo(arg).absoluteFilePath();
    }
    SingleInstance instance;
    if (instance.forward(request)) return 0;
    // Two launches at once: the one that did not get the socket hands over to the other. When no
    // instance takes the request, this process shows it on its own.
    if (!instance.listen() && instance.forward(request)) return 0;

    QApplication::setStyle(QStringLiteral("Fusion"));
    AppearanceSettings appearance;
    const QPalette systemPalette = QApplication::palette();
    // System mode follows the desktop's colour scheme while running.
    DesktopColorScheme desktopScheme;
    desktopScheme.start();
    const auto reapply = [&] { applyAppearance(appearance, desktopScheme, systemPalette); };
    reapply();
    QObject::connect(&appearance, &AppearanceSettings::appearanceModeChanged, &app, reapply);
    QObject::connect(&desktopScheme, &DesktopColorScheme::preferenceChanged, &app, reapply);

    AppDelegate::Options options;
    options.desktopRecentFile = RecentlyUsedXbel::defaultFile();
    options.appearance = &appearance;
    AppDelegate delegate(options);
    QObject::connect(&instance, &SingleInstance::requestReceived, &delegate, [&delegate](const SingleInstance::Request& r) {
        if (!r.newWindow) {
            delegate.openRequestedFiles(r.files);
            return;
        }
        WorkspaceWindow* window = delegate.openNewWindow();
        if (!r.files.isEmpty()) window->model()->openFiles(r.files);
    });

    WorkspaceWindow* window = delegate.openNewWindow();
    if (!request.files.isEmpty()) window->model()->openFiles(request.files);
    // The status file is written once the first window is on its way to the screen.
    QTimer::singleShot(0, &app, [] { BrenixStatusService().write(); });

    // Benchmarks measure the first window up to its first painted document (or, without one, its
    // first painted frame), then quit.
    if (qEnvironmentVariableIsSet("SCRIVOLA_EXIT_AFTER_FIRST_PAINT")) {
        const auto quitSoon = [] { QTimer::singleShot(0, qApp, &QApplication::quit); };
        if (request.files.isEmpty()) watchFirstPaint(window, quitSoon);
        else QObject::connect(window, &WorkspaceWindow::documentPainted, &app, quitSoon);
    }
    return app.exec();
}
