// Damaged and hostile files through the paths a window takes: open, first-page render, text,
// annotations, save and reopen. Nothing may crash or hang, and every refusal is a DocumentError.
// Besides fixed mutations of the fixtures, every file of the fuzzing crash corpus is replayed.
#include "image/ImageDocumentModel.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "signature/StoredSignature.h"
#include "support/ImageFactory.h"
#include "support/PdfFactory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

struct Case {
    QString name;
    QByteArray bytes;
};

// Aborts the whole run, naming the input, when one input takes longer than ten seconds: a hang
// would otherwise stall the suite without saying where.
class Watchdog {
public:
    explicit Watchdog(const QString& name)
        : name_(name.toUtf8()), thread_([this] {
              std::unique_lock lock(mutex_);
              if (!done_changed_.wait_for(lock, std::chrono::seconds(10), [this] { return done_; })) {
                  std::fprintf(stderr, "Hang over 10 s on %s\n", name_.constData());
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_changed_.notify_one();
        thread_.join();
    }

private:
    QByteArray name_;
    std::mutex mutex_;
    std::condition_variable done_changed_;
    bool done_ = false;
    std::thread thread_;
};

// The first page drawn to fit 200 pixels, text and annotations of the first pages, then a save
// that, when it succeeds, must give a file that opens again.
void openPdfLikeTheWindow(const QTemporaryDir& dir, const Case& input) {
    const Watchdog watchdog(input.name);
    const QString path = writeFile(dir, QStringLiteral("input.pdf"), input.bytes);
    try {
        PDFDocumentModel model(path);
        PDFDocumentContext context(&model);
        const PDFDocumentPtr& document = model.pdfDocument();
        for (int i = 0; i < std::min(context.totalPages(), 3); ++i) {
            const PDFPagePtr page = document->page(i);
            if (!page) continue;  // an entry of the page list that is no page
            if (i == 0) {
                if (const auto list = page->displayList(true)) {
                    const QSizeF size = list->rotatedSize();
                    const double side = std::max(size.width(), size.height());
                    if (side > 0) (void)list->render(std::min(1.0, 200 / side));
                }
            }
            (void)page->text().plainText();
            for (const PDFAnnotationPtr& annotation : page->annotations()) (void)annotation->contents();
        }
        const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
        bool wasSaved = false;
        try {
            model.save(saved);
            wasSaved = true;
        } catch (const DocumentError&) {
        }
        if (wasSaved) {
            EXPECT_NO_THROW(PDFDocumentModel{saved}) << input.name.toStdString() << ": saved file does not open";
        }
    } catch (const DocumentError&) {
    } catch (const std::exception& error) {
        ADD_FAILURE() << input.name.toStdString() << ": " << error.what();
    }
}

void openImageLikeTheWindow(const QTemporaryDir& dir, const Case& input) {
    const Watchdog watchdog(input.name);
    const QString path = writeFile(dir, input.name.section(QLatin1Char('/'), -1), input.bytes);
    try {
        ImageDocumentModel model(path);
        EXPECT_FALSE(model.image(0).isNull()) << input.name.toStdString() << ": opened without pixels";
    } catch (const DocumentError&) {
    } catch (const std::exception& error) {
        ADD_FAILURE() << input.name.toStdString() << ": " << error.what();
    }
    QFile::remove(path);
}

// Cuts at seven points and three runs of byte flips from a fixed seed, so every run tests the same files.
void addMutations(std::vector<Case>& cases, const QString& name, const QByteArray& bytes) {
    for (int k = 1; k < 8; ++k) cases.push_back({name + QStringLiteral(" cut %1/8").arg(k), bytes.left(bytes.size() * k / 8)});
    std::mt19937 random(qHash(name));
    for (int flips : {1, 4, 32}) {
        QByteArray mutated = bytes;
        for (int i = 0; i < flips; ++i) mutated[random() % mutated.size()] ^= char(1 + random() % 255);
        cases.push_back({name + QStringLiteral(" %1 flips").arg(flips), mutated});
    }
}

QByteArray nested(const QByteArray& open, const QByteArray& close, int depth) {
    return open.repeated(depth) + close.repeated(depth);
}

// One page whose page dictionary gets `pageExtra` and whose content is `content`.
QByteArray onePage(const QByteArray& pageExtra, const QByteArray& content = "BT /F1 12 Tf 20 250 Td (Text) Tj ET",
                   const std::vector<QByteArray>& moreObjects = {}) {
    std::vector<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << /Font << /F1 << /Type /Font /Subtype /Type1"
        " /BaseFont /Helvetica >> >> /XObject << /Im1 5 0 R >> >> " + pageExtra + " >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream",
    };
    objects.insert(objects.end(), moreObjects.begin(), moreObjects.end());
    return assemblePdf(objects);
}

std::vector<Case> damagedPdfs() {
    std::vector<Case> cases;
    const QByteArray text = textPdf(3);
    addMutations(cases, QStringLiteral("text"), text);
    addMutations(cases, QStringLiteral("annotated"), annotatedPage());
    addMutations(cases, QStringLiteral("incremental"), incrementalUpdatePdf());
    addMutations(cases, QStringLiteral("rotated"), rotatedOffsetPage());

    const QByteArray box = "/MediaBox [0 0 300 300]";
    const QByteArray page = "<< /Type /Page /Parent 2 0 R " + box + " >>";
    cases.push_back({"missing page object", assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                                         "<< /Type /Pages /Kids [3 0 R 9 0 R] /Count 2 " + box + " >>", page})});
    cases.push_back({"page entry not a dictionary", assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                                                 "<< /Type /Pages /Kids [4 0 R 3 0 R] /Count 2 >>", page, "42"})});
    cases.push_back({"page tree loop", assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                                    "<< /Type /Pages /Kids [2 0 R 3 0 R] /Count 2 >>", page})});
    cases.push_back({"page count far too large", assemblePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                                                              "<< /Type /Pages /Kids [3 0 R] /Count 1000000000 >>", page})});
    cases.push_back({"missing page tree", assemblePdf({"<< /Type /Catalog /Pages 7 0 R >>"})});
    cases.push_back({"no root", QByteArray(text).replace("/Root 1 0 R", "")});
    cases.push_back({"startxref past the end", QByteArray(text).replace("startxref\n", "startxref\n99999")});
    cases.push_back({"xref of a billion entries", QByteArray(text).replace("xref\n0 ", "xref\n0 1000000000")});
    cases.push_back({"no xref", text.left(text.lastIndexOf("xref\n0 "))});
    cases.push_back({"repaired xref", brokenXrefPdf(2)});

    cases.push_back({"media box 1e9", onePage("/MediaBox [0 0 1e9 1e9]")});
    cases.push_back({"empty media box", onePage("/MediaBox [0 0 0 0]")});
    cases.push_back({"media box of three numbers", onePage("/MediaBox [0 0 300]")});
    cases.push_back({"media box not an array", onePage("/MediaBox (wide)")});
    cases.push_back({"odd rotation", onePage("/MediaBox [0 0 300 300] /Rotate 1e20")});
    cases.push_back({"contents not a stream", onePage("/MediaBox [0 0 300 300] /Contents 42")});
    cases.push_back({"annotations of every kind but dictionaries",
                     onePage("/MediaBox [0 0 300 300] /Annots [1 0 R 42 (x) 99 0 R null [1 2]]")});
    cases.push_back({"annotations not an array", onePage("/MediaBox [0 0 300 300] /Annots 7")});
    cases.push_back({"image of 100000 x 100000", onePage("/MediaBox [0 0 300 300]", "q 300 0 0 300 0 0 cm /Im1 Do Q",
                                                          {"<< /Type /XObject /Subtype /Image /Width 100000 /Height 100000"
                                                           " /BitsPerComponent 8 /ColorSpace /DeviceRGB /Length 3 >>\nstream\nabc\nendstream"})});
    cases.push_back({"deeply nested arrays in content", onePage("/MediaBox [0 0 300 300]", nested("[", "]", 50000))});
    cases.push_back({"deeply nested page entry", onePage("/MediaBox [0 0 300 300] /Deep " + nested("[", "]", 50000))});
    cases.push_back({"deeply nested dictionaries", onePage("/MediaBox [0 0 300 300] /Deep " + nested("<< /A ", ">> ", 20000))});
    cases.push_back({"deeply nested save states", onePage("/MediaBox [0 0 300 300]", QByteArray("q ").repeated(100000))});
    return cases;
}

QString corpusFolder() { return QStringLiteral(SCRIVOLA_FUZZ_CORPUS); }

std::vector<Case> corpusFiles(const QString& target) {
    std::vector<Case> cases;
    const QDir dir(corpusFolder() + QLatin1Char('/') + target);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files, QDir::Name)) {
        QFile file(entry.filePath());
        if (file.open(QIODevice::ReadOnly)) cases.push_back({target + QLatin1Char('/') + entry.fileName(), file.readAll()});
    }
    return cases;
}

}  // namespace

TEST(DamagedInput, PdfMutationsOpenRenderAndSaveOrFailWithDocumentError) {
    const QTemporaryDir dir;
    for (const Case& input : damagedPdfs()) openPdfLikeTheWindow(dir, input);
}

TEST(DamagedInput, ImageMutationsOpenOrFailWithDocumentError) {
    const QTemporaryDir dir;
    std::vector<Case> cases = {{"huge.png", pngDeclaringSize(100000, 100000)}};
    const QSize size(16, 12);
    for (const char* format : {"png", "jpeg", "tiff", "webp"})
        addMutations(cases, QStringLiteral("image.") + QLatin1String(format), imageBytes(size, format, true));
    addMutations(cases, QStringLiteral("image.gif"), gifBytes(size, true));
    addMutations(cases, QStringLiteral("image.svg"), svgBytes(size));
    addMutations(cases, QStringLiteral("image.heic"), heicBytes(size, true));
    for (const Case& input : cases) openImageLikeTheWindow(dir, input);
}

// Files that once crashed a fuzz target (tests/fuzz-corpus/<target>/) stay harmless.
TEST(DamagedInput, FuzzCrashCorpusReplays) {
    const QTemporaryDir dir;
    for (const Case& input : corpusFiles(QStringLiteral("pdf"))) openPdfLikeTheWindow(dir, input);
    for (const Case& input : corpusFiles(QStringLiteral("image"))) openImageLikeTheWindow(dir, input);
    for (const Case& input : corpusFiles(QStringLiteral("signature"))) {
        const auto record = StoredSignature::fromJsonBytes(input.bytes);
        if (!record) continue;
        const auto again = StoredSignature::fromJsonBytes(record->toJsonBytes());
        EXPECT_TRUE(again && again->id == record->id && again->name == record->name) << input.name.toStdString();
    }
}
