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

int restoreTextBoxes(PDFPage& page) {
    installTextBoxAppearanceWriter();
    if (!PDFAppearance::pageHasAnnotations(page)) return 0;
    int restored = 0;
    for (const PDFAnnotationPtr& annotation : page.annotations()) {
        if (!annotation || !CoreTextFreeTextAnnotation::isTextBox(*annotation)) continue;
        // A box the engine cannot update stays as it was; the page is still shown.
        try {
            normaliseFlag(*annotation, CoreTextFreeTextAnnotation::underlineKey);
            normaliseFlag(*annotation, CoreTextFreeTextAnnotation::strikethroughKey);
            if (!PDFAppearance::hasNormalAppearance(*annotation)) writeTextBoxAppearance(*annotation);
        } catch (const PDFEngineError&) {
        }
        ++restored;
    }
    return restored;
}

void restoreTextBoxesOnFirstUse(PDFDocument& document) {
    installTextBoxAppearanceWriter();
    document.setPagePreparer([](PDFPage& page) { restoreTextBoxes(page); });
}

}  // namespace scrivola
