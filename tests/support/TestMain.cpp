// Runs GoogleTest inside a QApplication so that fonts, text layout, printing and widgets work.
#include <QApplication>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#define SCRIVOLA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SCRIVOLA_ASAN 1
#endif
#endif

#ifdef SCRIVOLA_ASAN
// Sanitizer builds (SCRIVOLA_SANITIZE): leaks are findings, with whole stacks so that the
// suppressions below can match frames of libraries built without frame pointers. ASAN_OPTIONS
// and LSAN_OPTIONS still override these.
extern "C" const char* __asan_default_options() { return "detect_leaks=1:fast_unwind_on_malloc=0"; }
// Memory system libraries keep for good, not leaks of this code:
// - x265 (the HEIC encoder) keeps frame-filter buffers of an encoder it has closed;
// - MuPDF 1.21.1 keeps one reference too many to each page object looked up while the page
//   tree is loaded (pdf_load_page_tree ... pdf_drop_page_tree), so they outlive the document;
// - MuPDF 1.21.1 repairing a damaged file keeps an object it loaded for the trailer;
// - MuPDF 1.21.1 redacting image pixels (pdf_redact_page) keeps the images it replaced.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libx265\nleak:pdf_load_page_tree_imp\nleak:pdf_repair_trailer\nleak:pdf_redact_page\n";
}
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("ScrivolaTests"));
    QApplication::setApplicationName(QStringLiteral("scrivola-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
