// Opening images: decoding one large photo, and opening a folder of photos as one collection
// (headers only until an image is shown). Inputs come from bench/compare.sh (SCRIVOLA_BENCH_DIR).
#include "image/ImageDocumentModel.h"

#include <QDir>
#include <QGuiApplication>
#include <benchmark/benchmark.h>

using namespace scrivola;

namespace {

QString benchDir() { return qEnvironmentVariable("SCRIVOLA_BENCH_DIR", QStringLiteral("bench/out")); }

void decodeOne(benchmark::State& state, const char* name) {
    const QString path = benchDir() + '/' + QString::fromLatin1(name);
    if (!QFileInfo::exists(path)) {
        state.SkipWithError("input missing: run bench/compare.sh");
        return;
    }
    for (auto _ : state) {
        ImageDocumentModel model(path);
        QImage image = model.image(0);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_DecodeJpeg24MP(benchmark::State& state) { decodeOne(state, "photo24mp.jpg"); }
void BM_DecodeHeic12MP(benchmark::State& state) { decodeOne(state, "photo12mp.heic"); }

void BM_OpenFolderOf200Jpegs(benchmark::State& state) {
    const QDir dir(benchDir() + QStringLiteral("/folder200"));
    QStringList paths;
    for (const QString& name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name)) paths << dir.filePath(name);
    if (paths.size() < 200) {
        state.SkipWithError("input missing: run bench/compare.sh");
        return;
    }
    for (auto _ : state) {
        ImageDocumentModel model(paths);
        benchmark::DoNotOptimize(model.pixelSize(0));
    }
}

}  // namespace

BENCHMARK(BM_DecodeJpeg24MP)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DecodeHeic12MP)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OpenFolderOf200Jpegs)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
