#include "annotation/TextBoxRestoration.h"

#include "annotation/CoreTextFreeTextAnnotation.h"
#include "annotation/TextBoxAppearance.h"
#include "pdf/engine/PDFAppearance.h"

namespace scrivola {

namespace {

// A flag stored as a boolean keeps its value; a number becomes its boolean value; anything
// else, or nothing, becomes false.
void normaliseFlag(PDFAnnotation& annotation, const QString& key) {
    if (PDFAppearance::isBooleanEntry(annotation, key)) return;
    annotation.setBoolValue(key, annotation.boolValue(key).value_or(false));
}

}  // namespace

int restoreTextBoxes(PDFDocument& document) {
    installTextBoxAppearanceWriter();
    int restored = 0;
    const int count = document.pageCount();
    for (int i = 0; i < count; ++i) {
        const PDFPagePtr page = document.page(i);
        if (!page || !PDFAppearance::pageHasAnnotations(*page)) continue;
        const std::vector<PDFAnnotationPtr> annotations = page->annotations();
        for (const PDFAnnotationPtr& annotation : annotations) {
            if (!annotation || !CoreTextFreeTextAnnotation::isTextBox(*annotation)) continue;
            // A box the engine cannot update stays as it was; the document still opens.
            try {
                normaliseFlag(*annotation, CoreTextFreeTextAnnotation::underlineKey);
                normaliseFlag(*annotation, CoreTextFreeTextAnnotation::strikethroughKey);
                if (!PDFAppearance::hasNormalAppearance(*annotation)) writeTextBoxAppearance(*annotation);
            } catch (const PDFEngineError&) {
            }
            ++restored;
        }
    }
    return restored;
}

}  // namespace scrivola
