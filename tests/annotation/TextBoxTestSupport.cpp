#include "TextBoxTestSupport.h"

#include "annotation/TextBoxFont.h"

namespace scrivola::textboxtest {

CoreTextFreeTextAnnotation::Properties properties(const QString& text, double size) {
    CoreTextFreeTextAnnotation::Properties p;
    p.contents = text;
    p.font = textBoxFont(QStringLiteral("DejaVu Sans"), size, false, false);
    p.fontColor = Qt::black;
    return p;
}

}  // namespace scrivola::textboxtest
