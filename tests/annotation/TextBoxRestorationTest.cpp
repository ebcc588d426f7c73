// Restoration of text boxes on opening and the stored form's round trip: the engine's own
// annotation objects are kept with all their data; only our FreeText annotations are touched.

#include "TextBoxTestSupport.h"

#include "annotation/TextBoxFont.h"
#include "annotation/TextBoxRestoration.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/engine/PDFAppearance.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace scrivola {
namespace {

using namespace textboxtest;

// Page 1 carries, in this order: our box with only /ScrivolaST (4) and its popup (5), a reply to
// it (6), another program's FreeText (7), our box with a numeric /ScrivolaUL (8), a square (9).
QByteArray annotatedFile() {
    return rawPdf({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Annots [4 0 R 5 0 R 6 0 R 7 0 R 8 0 R 9 0 R] >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [50 300 250 340] /Contents (Hello) /DA (/Helvetica 12 Tf 0 0 1 rg)"
        " /NM (box-1) /M (D:20240101120000Z) /T (Alice) /F 28 /Popup 5 0 R /P 3 0 R /ScrivolaST true >>",
        "<< /Type /Annot /Subtype /Popup /Rect [250 300 350 380] /Parent 4 0 R /P 3 0 R /Open false >>",
        "<< /Type /Annot /Subtype /Text /Rect [20 20 40 40] /Contents (A reply) /IRT 4 0 R /T (Bob) /NM (reply-1)"
        " /P 3 0 R >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [50 200 250 240] /Contents (Other) /DA (/Helvetica 12 Tf 0 g)"
        " /NM (other-1) /P 3 0 R >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [50 100 250 140] /Contents (Numbered) /DA (/Helvetica 12 Tf 0 g)"
        " /ScrivolaUL 1 /NM (box-2) /P 3 0 R >>",
        "<< /Type /Annot /Subtype /Square /Rect [10 10 30 30] /NM (square-1) /P 3 0 R >>",
    });
}

QStringList types(const PDFPage& page) {
    QStringList result;
    for (const auto& a : page.annotations()) result << a->type();
    return result;
}

TEST(TextBoxRestoration, KeepsEngineAnnotationsAndReadsTheFlags) {
    QTemporaryDir dir;
    auto document = PDFDocument::loadFromData(annotatedFile());
    auto page = document->page(0);
    const auto before = page->annotations();
    ASSERT_EQ(before.size(), 6u);

    EXPECT_EQ(restoreTextBoxes(*page), 2);

    // Same objects, same order: nothing was replaced.
    const auto after = page->annotations();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i].get(), before[i].get()) << i;
    EXPECT_EQ(types(*page), (QStringList{"FreeText", "Popup", "Text", "FreeText", "FreeText", "Square"}));

    // /ScrivolaST only: underline false, strikethrough from the file.
    const CoreTextFreeTextAnnotation first(after[0]);
    EXPECT_FALSE(first.isUnderline());
    EXPECT_TRUE(first.isStrikethrough());
    EXPECT_TRUE(PDFAppearance::isBooleanEntry(*after[0], CoreTextFreeTextAnnotation::underlineKey));
    // A number becomes its boolean value.
    const CoreTextFreeTextAnnotation numbered(after[4]);
    EXPECT_TRUE(numbered.isUnderline());
    EXPECT_FALSE(numbered.isStrikethrough());
    EXPECT_TRUE(PDFAppearance::isBooleanEntry(*after[4], CoreTextFreeTextAnnotation::underlineKey));
    // Another program's FreeText stays as it was: no keys added.
    EXPECT_FALSE(CoreTextFreeTextAnnotation::isTextBox(*after[3]));
    EXPECT_FALSE(after[3]->hasValue(CoreTextFreeTextAnnotation::underlineKey));
    EXPECT_TRUE(PDFAppearance::hasNormalAppearance(*after[4]));  // our boxes got an appearance

    // Saved again, every piece of annotation data is still there.
    const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
    ASSERT_TRUE(document->write(saved));
    const QByteArray bytes = testing::readBytes(saved);
    const auto has = [](const RawObject& object, const QString& pattern) {
        return QRegularExpression(pattern).match(QString::fromLatin1(object.body)).hasMatch();
    };
    const RawObject box = findObject(bytes, "(Hello)");
    ASSERT_NE(box.number, 0);
    for (const char* entry : {"/NM ?\\(box-1\\)", "\\(D:20240101120000Z\\)", "\\(Alice\\)", "/F ?28"})
        EXPECT_TRUE(has(box, QLatin1String(entry))) << entry << box.body.constData();
    const QRegularExpressionMatch popupRef =
        QRegularExpression(QStringLiteral("/Popup ?(\\d+) 0 R")).match(QString::fromLatin1(box.body));
    ASSERT_TRUE(popupRef.hasMatch());
    EXPECT_TRUE(has(objectByNumber(bytes, popupRef.captured(1).toInt()), QStringLiteral("/Parent ?%1 0 R").arg(box.number)));
    EXPECT_TRUE(has(findObject(bytes, "(A reply)"), QStringLiteral("/IRT ?%1 0 R").arg(box.number)));

    // And reopening restores the same state.
    auto reopened = PDFDocument::load(saved);
    restoreTextBoxes(*reopened->page(0));
    const auto again = reopened->page(0)->annotations();
    EXPECT_EQ(types(*reopened->page(0)), types(*page));
    EXPECT_TRUE(CoreTextFreeTextAnnotation(again[0]).isStrikethrough());
    EXPECT_EQ(again[0]->contents(), QStringLiteral("Hello"));
}

TEST(TextBoxRestoration, StoredFormRoundTrips) {
    QTemporaryDir dir;
    auto document = blankDocument();
    CoreTextFreeTextAnnotation::Properties props;
    props.contents = QStringLiteral("  Two lines\nsecond  ");
    props.font = textBoxFont(QStringLiteral("Times New Roman"), 18, true, true);
    props.fontColor = QColor(0, 0, 255);
    props.alignment = Qt::AlignRight;
    props.isUnderline = true;
    props.isStrikethrough = false;
    const QRectF bounds(40.5, 250, 180, 60);
    auto box = CoreTextFreeTextAnnotation::create(bounds, props);
    document->page(0)->addAnnotation(box.annotation());
    box.refreshAppearance();

    auto reopened = saveAndReopen(*document, dir.filePath(QStringLiteral("form.pdf")));
    ASSERT_TRUE(reopened);
    ASSERT_EQ(restoreTextBoxes(*reopened->page(0)), 1);
    const auto annotations = reopened->page(0)->annotations();
    ASSERT_EQ(annotations.size(), 1u);
    const CoreTextFreeTextAnnotation restored(annotations[0]);
    EXPECT_EQ(restored.annotation()->contents(), props.contents);  // not trimmed
    EXPECT_TRUE(restored.isUnderline());
    EXPECT_FALSE(restored.isStrikethrough());
    EXPECT_EQ(restored.font().family(), QStringLiteral("Times New Roman"));
    EXPECT_DOUBLE_EQ(restored.font().pointSizeF(), 18);
    EXPECT_TRUE(restored.font().bold());
    EXPECT_TRUE(restored.font().italic());
    EXPECT_EQ(restored.fontColor().toRgb(), QColor(0, 0, 255));
    EXPECT_EQ(restored.alignment(), Qt::AlignRight);
    EXPECT_FALSE(restored.annotation()->color().has_value());  // clear background
    EXPECT_EQ(restored.annotation()->borderWidth().value_or(-1), 0.0);
    const QRectF back = restored.annotation()->bounds();
    EXPECT_LT((back.topLeft() - bounds.topLeft()).manhattanLength() + (back.bottomRight() - bounds.bottomRight()).manhattanLength(),
              0.04);
}

TEST(TextBoxRestoration, FontNamesKeepFamilyAndTraits) {
    const StoredFontName plain = parseStoredFontName(storedFontName(textBoxFont("Helvetica", 12, false, false)));
    EXPECT_EQ(plain.family, QStringLiteral("Helvetica"));
    EXPECT_FALSE(plain.bold || plain.italic);
    const StoredFontName both = parseStoredFontName(storedFontName(textBoxFont("Times New Roman", 12, true, true)));
    EXPECT_EQ(both.family, QStringLiteral("Times New Roman"));
    EXPECT_TRUE(both.bold && both.italic);
    // Standard PostScript names written by other programs.
    const StoredFontName oblique = parseStoredFontName(QStringLiteral("Helvetica-Oblique"));
    EXPECT_EQ(oblique.family, QStringLiteral("Helvetica"));
    EXPECT_TRUE(oblique.italic && !oblique.bold);
    EXPECT_EQ(parseStoredFontName(QStringLiteral("Times-Roman")).family, QStringLiteral("Times New Roman"));
    // A hyphen that is part of the family stays.
    EXPECT_EQ(parseStoredFontName(QStringLiteral("Noto-Sans")).family, QStringLiteral("Noto-Sans"));
}

TEST(TextBoxRestoration, OpeningLeavesPagesAloneUntilOneIsUsed) {
    QTemporaryDir dir;
    // Three pages; our box (numeric flag, no appearance) is on the last one.
    const QString path = testing::writeFile(dir, QStringLiteral("later.pdf"), rawPdf({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] /Annots [6 0 R] >>",
            "<< /Type /Annot /Subtype /FreeText /Rect [50 100 250 140] /Contents (Later) /DA (/Helvetica 12 Tf 0 g)"
            " /ScrivolaUL 1 /P 5 0 R >>",
        }));
    const PDFDocumentModel model(path);
    const PDFDocumentPtr& document = model.pdfDocument();
    // Nothing was changed at opening: the document still is the file's bytes.
    ASSERT_EQ(document->pageCount(), 3);
    document->page(0)->render(0.5);
    EXPECT_TRUE(document->originalBytes().has_value());

    // Listing the last page's annotations restores its box first.
    const auto annotations = document->page(2)->annotations();
    ASSERT_EQ(annotations.size(), 1u);
    EXPECT_TRUE(PDFAppearance::isBooleanEntry(*annotations[0], CoreTextFreeTextAnnotation::underlineKey));
    EXPECT_TRUE(PDFAppearance::hasNormalAppearance(*annotations[0]));
    EXPECT_FALSE(document->originalBytes().has_value());
}

}  // namespace
}  // namespace scrivola
