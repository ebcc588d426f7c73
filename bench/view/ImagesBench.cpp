// The image canvas: PATHS (image files, or one folder of them) open in the real window as the
// application opens them, then
//   first_image_ms    process launch to the first image painted in full (not its preview);
//   next_image_ms     the median of 20 Right-arrow steps through the collection, each from the key
//                     press to the next image painted in full, after a pause on each image as a
//                     user gives it (long enough for the neighbours to be decoded ahead);
//   held_preview_ms   after 15 auto-repeated presses 33 ms apart (a held key), from the last
//                     press to a picture of the image it stopped on (its quick preview, or full);
//   held_full_ms      the same to that image painted in full;
//   images_peak_mb    the peak resident set of the whole run.
#include "ViewBench.h"

#include "image/ImageDocumentContext.h"
#include "image/ImageDocumentModel.h"
#include "image/view/ImageCanvasView.h"
#include "workspace/AppViewModel.h"
#include "workspace/TabItem.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <map>

namespace scrivola::bench {

namespace {

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A key press as the keyboard delivers it, to the widget with the focus (through the window's
// keyboard monitor, as a real press goes).
void press(Qt::Key key, bool autoRepeat) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(target, &down);
}

}  // namespace

int imagesBench(double launchedAt, const QStringList& paths) {
    BenchWindow bench;
    WorkspaceWindow& window = bench.window();
    window.show();
    window.activateWindow();
    ImageCanvasView* canvas = window.imageCanvas();
    // When each picture of each image first reached the screen.
    std::map<int, double> fullAt, anyAt;
    QObject::connect(canvas, &ImageCanvasView::imagePainted, canvas, [&](int index, bool full) {
        const double now = bootMs();
        anyAt.emplace(index, now);
        if (full) fullAt.emplace(index, now);
    });
    const bool exposed = window.windowHandle() && window.windowHandle()->isExposed();
    const auto waitFor = [&](const std::function<bool()>& done, int timeoutMs = 20000) {
        return runUntil([&] {
            if (!exposed) canvas->viewport()->repaint();
            return done();
        }, timeoutMs);
    };

    QStringList absolute;
    for (const QString& path : paths) absolute << QFileInfo(path).absoluteFilePath();
    const double windowAt = bootMs() - launchedAt;
    bench.open(absolute);
    const double openedAt = bootMs() - launchedAt;
    TabItem* tab = window.model()->activeTab();
    auto* context = tab ? qobject_cast<ImageDocumentContext*>(tab->context()) : nullptr;
    if (!context) return fail("the paths did not open as images");
    ImageDocumentModel* model = context->model();
    if (!waitFor([&] { return fullAt.count(context->currentPage()) != 0; })) return fail("no image was painted");
    figure("first_image_ms", fullAt[context->currentPage()] - launchedAt);
    std::fprintf(stderr, "launch: window made at %.0f ms, files opened at %.0f, first preview painted at %.0f\n", windowAt,
                 openedAt, anyAt[context->currentPage()] - launchedAt);
    std::fprintf(stderr, "%d images, the first %.0f x %.0f pixels; cache budget %lld MB; exposed %d; peak so far %.0f MB\n",
                 model->count(), model->pixelSize(0).width(), model->pixelSize(0).height(), model->cacheBudget() >> 20,
                 int(exposed), statusMb("VmHWM"));

    // 1. Stepping with pauses.
    std::vector<double> steps;
    int preloaded = 0;
    for (int step = 0; step < 20 && context->currentPage() + 1 < model->count(); ++step) {
        const int next = context->currentPage() + 1;
        // A look at the image: until its successor is decoded ahead, at most two seconds.
        runUntil([&] { return !model->cachedImage(next).isNull(); }, 2000);
        runUntil([] { return false; }, 100);
        if (!model->cachedImage(next).isNull()) ++preloaded;
        fullAt.erase(next);
        const double pressedAt = bootMs();
        press(Qt::Key_Right, false);
        // The next frame: a paint at once (the offscreen window has no compositor to ask for it).
        QCoreApplication::processEvents();
        if (!exposed) canvas->viewport()->repaint();
        if (!waitFor([&] { return fullAt.count(next) != 0; })) return fail("a step did not paint its image");
        steps.push_back(fullAt[next] - pressedAt);
    }
    if (steps.empty()) return fail("the collection has a single image");
    figure("next_image_ms", median(steps));
    std::fprintf(stderr, "steps: %zu, %d found their image decoded ahead; slowest %.1f ms; peak so far %.0f MB\n",
                 steps.size(), preloaded, *std::max_element(steps.begin(), steps.end()), statusMb("VmHWM"));

    // 2. A held key: auto-repeated presses 33 ms apart, then the release.
    context->goToPage(0);
    if (!waitFor([&] { return fullAt.count(0) != 0 || !model->cachedImage(0).isNull(); })) return fail("back to the first image");
    runUntil([] { return false; }, 500);
    anyAt.clear();
    fullAt.clear();
    int previews = 0;
    QObject::connect(model, &ImageDocumentModel::previewReady, canvas, [&] { ++previews; });
    std::vector<std::pair<int, double>> presses;
    const int held = std::min(15, model->count() - 1);
    for (int i = 0; i < held; ++i) {
        const double at = bootMs();
        press(Qt::Key_Right, i > 0);
        presses.emplace_back(context->currentPage(), at);
        waitFor([&] { return bootMs() - at >= 33; });
    }
    const double releasedAt = bootMs();
    const int last = context->currentPage();
    if (!waitFor([&] { return fullAt.count(last) != 0; })) return fail("the image a held key stopped on was not painted");
    // The last press: its picture, quick first, then full.
    const double pressedLastAt = presses.back().second;
    if (!waitFor([&] { return anyAt.count(last) != 0; })) return fail("no picture of the last image");
    figure("held_preview_ms", anyAt[last] - pressedLastAt);
    figure("held_full_ms", fullAt[last] - pressedLastAt);
    std::fprintf(stderr, "held: %d presses %.0f ms apart, %d previews decoded while the key was down\n", held,
                 (releasedAt - presses.front().second) / std::max(1, held - 1), previews);

    figure("images_peak_mb", statusMb("VmHWM"));
    std::fprintf(stderr, "memory: image cache %.0f MB, RSS %.0f MB\n", double(model->cachedBytes()) / 1048576.0, statusMb("VmRSS"));
    return 0;
}

}  // namespace scrivola::bench
