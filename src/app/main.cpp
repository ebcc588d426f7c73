// Scrivola: start-up, the first window and the files given on the command line.
#include "app/core/AppearanceSettings.h"
#include "app/core/BrenixStatusService.h"
#include "app/core/DesktopColorScheme.h"
#include "app/core/Theme.h"
#include "ui/WorkspaceWindow.h"
#include "workspace/AppViewModel.h"
#include "workspace/RecentDocuments.h"
#include "workspace/RecentlyUsedXbel.h"
#include "workspace/ServiceContainer.h"
#include "workspace/WindowRegistry.h"

#include <QApplication>
#include <QDir>
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
    QApplication::setStyle(QStringLiteral("Fusion"));

    BrenixStatusService().write();

    AppearanceSettings appearance;
    const QPalette systemPalette = QApplication::palette();
    // System mode follows the desktop's colour scheme while running.
    DesktopColorScheme desktopScheme;
    desktopScheme.start();
    const auto reapply = [&] { applyAppearance(appearance, desktopScheme, systemPalette); };
    reapply();
    QObject::connect(&appearance, &AppearanceSettings::appearanceModeChanged, &app, reapply);
    QObject::connect(&desktopScheme, &DesktopColorScheme::preferenceChanged, &app, reapply);

    WindowRegistry registry;
    RecentDocuments recent(nullptr, RecentlyUsedXbel::defaultFile());
    registry.setBringToFront([](AppViewModel* model) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<WorkspaceWindow*>(widget);
            if (window && window->model() == model) {
                window->show();
                window->raise();
                window->activateWindow();
            }
        }
    });

    WorkspaceEnvironment environment;
    environment.registry = &registry;
    environment.recentDocuments = &recent;
    auto model = std::make_unique<AppViewModel>(std::make_unique<ServiceContainer>(), environment);
    registry.add(model.get());
    auto* window = new WorkspaceWindow(std::move(model));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();

    QStringList files;
    for (const QString& arg : QApplication::arguments().mid(1))
        if (!arg.startsWith(QLatin1String("--"))) files << QFileInfo(arg).absoluteFilePath();
    if (!files.isEmpty()) window->model()->openFiles(files);

    // Benchmarks measure the first window up to its first painted page, then quit.
    if (qEnvironmentVariableIsSet("SCRIVOLA_EXIT_AFTER_FIRST_PAINT")) {
        QObject::connect(window, &WorkspaceWindow::documentPainted, &app, [] { QTimer::singleShot(0, qApp, &QApplication::quit); });
        if (files.isEmpty()) QTimer::singleShot(0, qApp, &QApplication::quit);
    }
    return app.exec();
}
