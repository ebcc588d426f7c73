// view_bench: the application's views as a user meets them, timed over the whole process.
//   view_bench FILE.pdf    the page view: first page, scrolling, zoom (PdfViewBench.cpp)
//   view_bench --thumbnails FILE.pdf   the page sidebar: first screen, scrolling, memory (ThumbnailsBench.cpp)
//   view_bench --images PATH...   the image canvas: first image, browsing, memory (ImagesBench.cpp)
//   view_bench --compress FILE.pdf   the compression sheet: estimates and stalls (CompressBench.cpp)
//   view_bench --startup [FILE.pdf]   the application's launch beside a bare Qt program (StartupBench.cpp)
// Offscreen unless QT_QPA_PLATFORM is set; figures on stdout, details on stderr.
#include "ViewBench.h"

#include <QApplication>

using namespace scrivola::bench;

int main(int argc, char** argv) {
    const double launchedAt = processStartMs();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("SCRIVOLA_DEBUG")) qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Scrivola"));
    QApplication::setApplicationName(QStringLiteral("Scrivola"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() == 1 && !args[0].startsWith(QLatin1String("--"))) return pdfViewBench(launchedAt, args[0]);
    if (args.size() == 2 && args[0] == QLatin1String("--thumbnails")) return thumbnailsBench(launchedAt, args[1]);
    if (args.size() >= 2 && args[0] == QLatin1String("--images")) return imagesBench(launchedAt, args.mid(1));
    if (args.size() == 2 && args[0] == QLatin1String("--compress")) return compressBench(args[1]);
    if (!args.isEmpty() && args.size() <= 2 && args[0] == QLatin1String("--startup")) return startupBench(args.value(1));
    return fail("usage: view_bench FILE.pdf | --thumbnails FILE.pdf | --images PATH... | --compress FILE.pdf | --startup [FILE.pdf]");
}
