// Per-page costs of a real document, the figures a view's scheduling rests on: taking a page's
// display list (the main thread's part: the page is interpreted) and drawing that list at a
// scale (a worker's part). Prints the median, the 95th percentile and the slowest page of each.
// usage: page_cost_bench FILE.pdf [SCALE]   (SCALE in pixels per point, default 1.5)
#include "pdf/PDFDocumentModel.h"
#include "pdf/engine/PDFEngine.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace scrivola;

namespace {

struct Cost {
    double ms;
    int page;
};

void report(const char* name, std::vector<Cost> costs) {
    if (costs.empty()) return;
    std::sort(costs.begin(), costs.end(), [](const Cost& a, const Cost& b) { return a.ms < b.ms; });
    const auto at = [&](double q) { return costs[std::min(costs.size() - 1, size_t(q * double(costs.size())))].ms; };
    std::printf("%s_ms median %.2f p95 %.2f max %.2f (page %d)\n", name, at(0.5), at(0.95), costs.back().ms,
                costs.back().page + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: page_cost_bench FILE.pdf [SCALE]\n");
        return 2;
    }
    const double scale = argc > 2 ? std::max(0.1, std::atof(argv[2])) : 1.5;
    QElapsedTimer clock;
    clock.start();
    const PDFDocumentModel model(QString::fromLocal8Bit(argv[1]));
    const auto& document = model.pdfDocument();
    std::printf("pages %d, opened in %.1f ms\n", document->pageCount(), double(clock.nsecsElapsed()) / 1e6);
    std::vector<Cost> lists;
    std::vector<Cost> draws;
    for (int i = 0; i < document->pageCount(); ++i) {
        clock.restart();
        const auto page = document->page(i);
        const auto list = page ? page->displayList() : nullptr;
        lists.push_back({double(clock.nsecsElapsed()) / 1e6, i});
        if (!list) continue;
        clock.restart();
        const QImage picture = list->render(scale);
        draws.push_back({double(clock.nsecsElapsed()) / 1e6, i});
    }
    report("display_list", lists);
    report("draw", draws);
    return 0;
}
