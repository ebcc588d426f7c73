// The compression sheet: FILE (a PDF) opens in the real window and the sheet is shown on it, then
// the quality slider is dragged 60 times a second for 20 steps, with rasterising off and on:
//   estimate_redraw_ms     last slider move to the estimate shown, redrawing;
//   estimate_ms            the same while rasterising (page 1 drawn and encoded on a worker);
//   compress_max_stall_ms  the longest main-thread stall over both drags and their estimates;
//   save_ms, save_max_stall_ms  saving a redrawn copy at quality 0.6 (compressed on a worker,
//                          written atomically), and the longest stall meanwhile.
#include "ViewBench.h"

#include "compression/view/CompressDialogView.h"
#include "compression/view/CompressPanels.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "workspace/AppViewModel.h"
#include "workspace/TabItem.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QSlider>

#include <algorithm>
#include <cstdio>

namespace scrivola::bench {

namespace {

// Saves into a scratch folder; a result that is not smaller is not written.
struct BenchPanels : CompressPanels {
    QString target;
    QString chooseSaveLocation(const QString&, const QString&) override { return target; }
    QString chooseFolder() override { return {}; }
    bool confirmNotSmaller(const QString&) override { return false; }
};

}  // namespace

int compressBench(const QString& file) {
    BenchWindow bench;
    WorkspaceWindow& window = bench.window();
    window.show();
    bench.open({QFileInfo(file).absoluteFilePath()});
    TabItem* tab = window.model()->activeTab();
    auto* context = tab ? qobject_cast<PDFDocumentContext*>(tab->context()) : nullptr;
    if (!context) return fail("the file did not open as a PDF");
    std::fprintf(stderr, "compress: %d pages, %.1f MB\n", context->model()->pdfDocument()->pageCount(),
                 double(QFileInfo(file).size()) / 1e6);

    BenchPanels panels;
    QTemporaryDir scratch;
    panels.target = scratch.filePath(QStringLiteral("compressed.pdf"));
    CompressDialogView sheet(tab, [] {}, &panels, &window);
    sheet.show();
    QSlider* quality = nullptr;
    for (auto* slider : sheet.findChildren<QSlider*>())
        if (slider->accessibleName() == QLatin1String("Image Quality")) quality = slider;
    if (!quality) return fail("no quality slider");
    double shownAt = 0;
    QObject::connect(&sheet, &CompressDialogView::estimateUpdated, &sheet, [&] { shownAt = bootMs(); });
    if (!runUntil([&] { return shownAt > 0; })) return fail("no first estimate");

    double worstStall = 0;
    // Drags the slider 20 steps down and back, then waits for the estimate; the time from the
    // last move to the estimate shown.
    const auto drag = [&](const char* name) -> bool {
        constexpr int kMoves = 20;
        int moves = 0;
        double lastMoveAt = 0;
        shownAt = 0;
        const int start = quality->value();
        const StallRun run = measureStalls([&] {
            if (moves < kMoves) {
                const int offset = moves < kMoves / 2 ? moves + 1 : kMoves - moves - 1;
                quality->setValue(std::max(0, start - offset - 1));
                lastMoveAt = bootMs();
                shownAt = 0;
                ++moves;
                return false;
            }
            return shownAt > 0;
        });
        if (!run.finished || shownAt <= 0) return false;
        figure(name, shownAt - lastMoveAt);
        std::fprintf(stderr, "%s: estimate %s, %d steps, longest stall %.1f ms (%.0f ms of it working)\n", name,
                     sheet.estimatedSize() ? qPrintable(formatByteCount(*sheet.estimatedSize())) : "unavailable",
                     run.steps, run.maxStallMs, run.stallCpuMs);
        worstStall = std::max(worstStall, run.maxStallMs);
        return true;
    };
    if (!drag("estimate_redraw_ms")) return fail("the redraw estimate did not come");
    sheet.setUseRasterization(true);
    if (!runUntil([&] { return shownAt > 0 && sheet.estimateCount() >= 3; })) return fail("no rasterised estimate");
    if (!drag("estimate_ms")) return fail("the rasterised estimate did not come");
    figure("compress_max_stall_ms", worstStall);

    sheet.setUseRasterization(false);
    sheet.setPdfQuality(0.6);
    bool saved = false;
    QObject::connect(&sheet, &CompressDialogView::saveFinished, &sheet, [&] { saved = true; });
    const double saveAt = bootMs();
    bool started = false;
    const StallRun save = measureStalls([&] {
        if (!started) {
            started = true;
            sheet.saveCompressed();
        }
        return saved;
    });
    if (!save.finished) return fail("the save did not finish");
    figure("save_ms", bootMs() - saveAt);
    figure("save_max_stall_ms", save.maxStallMs);
    std::fprintf(stderr, "save: %s written, %s; longest stall %.1f ms (%.0f ms of it working)\n",
                 qPrintable(formatByteCount(QFileInfo(panels.target).size())),
                 sheet.messageText().isEmpty() ? "no message" : qPrintable(sheet.messageText()), save.maxStallMs,
                 save.stallCpuMs);
    return 0;
}

}  // namespace scrivola::bench
