// scrivola-cli: batch work on PDFs and images over the same models and services as the application.
#include "cli/Cli.h"

#include "workspace/DocumentTypes.h"

#include <QCoreApplication>
#include <QGuiApplication>

using namespace scrivola;
using namespace scrivola::cli;

namespace {

void printOverview() {
    printLine(QStringLiteral("usage: scrivola-cli COMMAND [ARGS...]   (scrivola-cli COMMAND --help for details)\n\ncommands:"));
    for (const auto& c : commands()) printLine(QStringLiteral("  %1  %2").arg(c.name, -10).arg(c.summary));
}

void printUsage(const Command& c, bool toStderr) {
    const QString text = QStringLiteral("usage: scrivola-cli %1\n%2").arg(c.usage, c.summary);
    toStderr ? printError(text) : printLine(text);
}

// Qt's own diagnostics (missing runtime folders, plugin notes) are not ours to print: stderr
// carries only our messages.
void dropQtMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(dropQtMessages);
    // Fonts and text layout need a GUI application; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("scrivola-cli"));

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        printOverview();
        return kUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printOverview();
        return kSuccess;
    }
    for (const auto& command : commands()) {
        if (command.name != name) continue;
        try {
            if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
                printUsage(command, false);
                return kSuccess;
            }
            return command.run(args);
        } catch (const UsageError& e) {
            printError(QStringLiteral("scrivola-cli %1: %2").arg(name, QString::fromUtf8(e.what())));
            printUsage(command, true);
            return kUsage;
        } catch (const DocumentError& e) {
            printError(e.errorDescription());
            return kDocumentError;
        }
    }
    printError(QStringLiteral("scrivola-cli: unknown command \"%1\"").arg(name));
    printOverview();
    return kUsage;
}
