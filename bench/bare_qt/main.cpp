// bare_qt: the smallest Qt widget program shaped like Scrivola's start: a QApplication with the
// same style and names, a main window of the same size with a menu bar and a central widget,
// shown and, once its first frame is painted, ended. view_bench --startup compares Scrivola
// against it.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

namespace {

class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && !done_ && widget && widget->window() == window_) {
            done_ = true;
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return false;
    }

private:
    QWidget* window_;
    bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    // As Scrivola does: nothing on the console.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Scrivola"));
    QApplication::setApplicationName(QStringLiteral("BareQt"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("Quit"), qApp, &QApplication::quit);
    window.setCentralWidget(new QLabel(QStringLiteral("Drop files here"), &window));
    window.resize(1200, 800);
    PaintWatch watch(&window);
    window.show();
    return app.exec();
}
