// The page navigator: buttons, the display two-up, and the number field's rules.

#include "thumbnails/view/PageNavigationView.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "support/Files.h"
#include "support/PdfFactory.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

TEST(PageNavigationView, ButtonsDisplayAndTheNumberField) {
    QTemporaryDir dir;
    PDFDocumentModel model(writeFile(dir, "doc.pdf", textPdf(10)));
    PDFDocumentContext context(&model);
    PageNavigationView navigator;
    navigator.setContext(&context);
    navigator.show();
    navigator.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&navigator));
    const auto press = [&](const QString& tip) {
        for (QToolButton* b : navigator.findChildren<QToolButton*>())
            if (b->toolTip() == tip) b->click();
    };
    press("Last Page");
    EXPECT_EQ(context.currentPage(), 9);
    press("Previous Page");
    press("Previous Page");
    EXPECT_EQ(navigator.displayText(), "8");
    press("First Page");
    press("Next Page");
    press("Next Page");
    EXPECT_EQ(context.currentPage(), 2);
    navigator.setTwoUp(true);
    EXPECT_EQ(navigator.displayText(), QStringLiteral("3\u20134"));
    context.goToPage(9);
    EXPECT_EQ(navigator.displayText(), "10");
    navigator.setTwoUp(false);

    // A click opens the field with the page, focused; Return goes to a page typed in range.
    context.goToPage(6);
    QTest::mouseClick(navigator.display(), Qt::LeftButton);
    ASSERT_TRUE(navigator.isEditing());
    EXPECT_EQ(navigator.field()->text(), "7");
    EXPECT_TRUE(QTest::qWaitFor([&] { return navigator.field()->hasFocus(); }, 2000));
    for (const QString& typed : {QStringLiteral("0"), QStringLiteral("-3"), QStringLiteral("11"), QStringLiteral("x"), QStringLiteral(" 5")}) {
        navigator.startEditing();
        navigator.field()->setText(typed);
        QTest::keyClick(navigator.field(), Qt::Key_Return);
        EXPECT_FALSE(navigator.isEditing());
        EXPECT_EQ(context.currentPage(), 6) << typed.toStdString();
    }
    navigator.startEditing();
    navigator.field()->setText("+5");
    QTest::keyClick(navigator.field(), Qt::Key_Return);
    EXPECT_EQ(context.currentPage(), 4);
    // Escape closes the field without going anywhere.
    navigator.startEditing();
    navigator.field()->setText("2");
    QTest::keyClick(navigator.field(), Qt::Key_Escape);
    EXPECT_FALSE(navigator.isEditing());
    EXPECT_EQ(context.currentPage(), 4);
}

}  // namespace
