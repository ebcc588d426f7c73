// scrivola-cli: batch work on PDFs and images over the same models and services as the application.
#include "cli/Cli.h"

#include "workspace/DocumentTypes.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>

#include <memory>

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

const Command* findCommand(const QString& name) {
    for (const auto& command : commands())
        if (command.name == name) return &command;
    return nullptr;
}

// The application object the command needs: a GUI application (fonts, text layout, painting;
// no window is ever shown) unless the command is known to do without.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv, const Command* command) {
    // No desktop event loop is joined: Qt's own event dispatcher starts faster than GLib's.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
    if (command && !command->needsGui) return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

// Ends the process once a command has succeeded: its files are written (each through a
// temporary file already renamed into place) and its output is flushed here. Tearing down Qt's
// font database and plugins would cost a short command more than its own work. Sanitizer
// builds end normally, so that leaks are still looked for.
[[noreturn]] void endNow(int code) {
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    std::exit(code);
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    std::exit(code);
#endif
#endif
    std::_Exit(code);
}

}  // namespace

int main(int argc, char** argv) {
    // Batch work allocates and frees many mid-sized blocks (page text, page pictures) on several
    // threads; by default glibc hands each back to the kernel and maps it again, which costs more
    // system time than the work itself saves in memory for a short-lived process.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    keepStandardErrorForOurMessages();
    qInstallMessageHandler(dropQtMessages);
    const Command* command = argc > 1 ? findCommand(QString::fromLocal8Bit(argv[1])) : nullptr;
    const auto app = makeApplication(argc, argv, command);
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
    if (!command) {
        printError(QStringLiteral("scrivola-cli: unknown command \"%1\"").arg(name));
        printOverview();
        return kUsage;
    }
    try {
        if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
            printUsage(*command, false);
            return kSuccess;
        }
        endNow(command->run(args));
    } catch (const UsageError& e) {
        printError(QStringLiteral("scrivola-cli %1: %2").arg(name, QString::fromUtf8(e.what())));
        printUsage(*command, true);
        return kUsage;
    } catch (const DocumentError& e) {
        printError(e.errorDescription());
        return kDocumentError;
    }
}
