// The annotations sidebar on a generated PDF: what it lists, the click rules, deleting, refresh.
#include "annotation/view/AnnotationsSidebarView.h"
#include "support/PdfFactory.h"

#include <QCoreApplication>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

QByteArray freeText(const QByteArray& contents, int y, const QByteArray& extra = "/DA (/Helv 12 Tf 0 g)") {
    return "<< /Type /Annot /Subtype /FreeText /Rect [20 " + QByteArray::number(y) + " 200 " + QByteArray::number(y + 30) +
           "] /Contents (" + contents + ") " + extra + " >> ";
}

const QByteArray kHighlight =
    "<< /Type /Annot /Subtype /Highlight /Rect [20 700 200 720] /QuadPoints [20 720 200 720 20 700 200 700] >> ";

class AnnotationsSidebarTest : public ::testing::Test {
protected:
    // Page 1: an empty box and a long bold one with a date; page 2: a highlight only; page 3: one
    // box; page 4: two boxes.
    void open(bool withBoxes = true) {
        std::vector<PdfPageSpec> pages(4);
        if (withBoxes) {
            pages[0].annots = freeText("", 100) +
                              freeText("0123456789012345678901234567890123456789-cut here", 200,
                                       "/DA (/Helvetica-Bold 14 Tf 0 g) /M (D:20240314120000Z)");
            pages[1].annots = kHighlight;
            pages[2].annots = freeText("third", 300);
            pages[3].annots = freeText("fourth", 300) + freeText("fifth", 400);
        }
        model = std::make_unique<PDFDocumentModel>(writeFile(dir, "doc.pdf", buildPdf(pages)));
        context = std::make_unique<PDFDocumentContext>(model.get());
        sidebar = std::make_unique<AnnotationsSidebarView>(context.get());
        sidebar->resize(260, 600);
        sidebar->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sidebar.get()));
        if (withBoxes) rows = PDFTextBoxTool::flatten(tool()->groupedTextAnnotations());
    }
    PDFTextBoxTool* tool() const { return context->textTool(); }
    void click(int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect rect = sidebar->list()->rowRect(rows[size_t(row)].get());
        ASSERT_FALSE(rect.isEmpty());
        QTest::mouseClick(sidebar->list()->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
    std::vector<const PDFAnnotation*> selected() const {
        std::vector<const PDFAnnotation*> out;
        for (const PDFAnnotationPtr& a : tool()->selectedAnnotationObjects()) out.push_back(a.get());
        return out;
    }
    int listedRows() const {
        int count = 0;
        for (const AnnotationSection& section : sidebar->list()->sections()) count += int(section.rows.size());
        return count;
    }
    double deleteOpacity() const {
        return static_cast<QGraphicsOpacityEffect*>(sidebar->deleteButton()->graphicsEffect())->opacity();
    }

    QTemporaryDir dir;
    std::unique_ptr<PDFDocumentModel> model;
    std::unique_ptr<PDFDocumentContext> context;
    std::unique_ptr<AnnotationsSidebarView> sidebar;
    std::vector<PDFAnnotationPtr> rows;
};

}  // namespace

TEST_F(AnnotationsSidebarTest, ListsFreeTextBoxesByPageWithTheirDescriptions) {
    open();
    const std::vector<AnnotationSection>& sections = sidebar->list()->sections();
    ASSERT_EQ(sections.size(), 3u);  // the highlight-only page is not listed
    EXPECT_EQ(sections[0].pageIndex, 0);
    EXPECT_EQ(sections[1].pageIndex, 2);
    EXPECT_EQ(sections[2].pageIndex, 3);
    EXPECT_EQ(sidebar->countLabel()->text(), "Found: 5");
    const AnnotationListView* list = sidebar->list();
    EXPECT_EQ(list->describedRow(0, 0).text, "(empty)");
    EXPECT_EQ(list->describedRow(0, 0).date, "");
    EXPECT_EQ(list->describedRow(0, 1).text, "0123456789012345678901234567890123456789");
    EXPECT_EQ(list->describedRow(0, 1).fontDescription, "Helvetica 14 Bold");
    EXPECT_EQ(list->describedRow(0, 1).date, "14.03.24");
    EXPECT_EQ(list->describedRow(1, 0).fontDescription, "Helv 12");
    EXPECT_EQ(deleteOpacity(), 0.35);
    EXPECT_EQ(sidebar->deleteButton()->text(), "Delete");

    // A folded section hides its rows; a click on its header unfolds it.
    QTest::mouseClick(sidebar->list()->viewport(), Qt::LeftButton, {}, sidebar->list()->headerRect(2).center());
    EXPECT_TRUE(sidebar->list()->rowRect(rows[2].get()).isEmpty());
    QTest::mouseClick(sidebar->list()->viewport(), Qt::LeftButton, {}, sidebar->list()->headerRect(2).center());
    EXPECT_FALSE(sidebar->list()->rowRect(rows[2].get()).isEmpty());
}

TEST_F(AnnotationsSidebarTest, EmptyDocumentShowsTheEmptyState) {
    open(false);
    EXPECT_TRUE(sidebar->emptyLabel()->isVisible());
    EXPECT_EQ(sidebar->emptyLabel()->text(), "No text annotations");
    EXPECT_EQ(deleteOpacity(), 0.35);
}

TEST_F(AnnotationsSidebarTest, ClickRulesShareTheSelectionWithTheView) {
    open();
    // A selection made in the page view sets no anchor: Shift-click selects the row alone.
    tool()->selectAnnotation(rows[4]);
    click(2, Qt::ShiftModifier);
    EXPECT_EQ(selected(), std::vector<const PDFAnnotation*>{rows[2].get()});

    // A plain click selects one row and shows its page.
    click(3);
    EXPECT_EQ(context->currentPage(), 3);
    EXPECT_EQ(selected(), std::vector<const PDFAnnotation*>{rows[3].get()});

    // Ctrl toggles; toggling off still moves the anchor. Shift then adds the range from page 1 to
    // page 4 without dropping what lies outside it.
    click(3, Qt::ControlModifier);
    click(0, Qt::ControlModifier);
    click(4, Qt::ControlModifier);
    click(1, Qt::ControlModifier);
    click(1, Qt::ControlModifier);
    EXPECT_EQ(selected(), (std::vector<const PDFAnnotation*>{rows[0].get(), rows[4].get()}));
    click(3, Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<const PDFAnnotation*>{rows[0].get(), rows[4].get(), rows[1].get(), rows[2].get(),
                                                             rows[3].get()}));
    EXPECT_EQ(sidebar->deleteButton()->text(), "5");
    EXPECT_EQ(deleteOpacity(), 1.0);

    // Down moves the selection to the next row and shows its page; Shift+Up extends upwards.
    QTest::keyClick(sidebar->list(), Qt::Key_Down);
    EXPECT_EQ(selected(), std::vector<const PDFAnnotation*>{rows[4].get()});
    EXPECT_EQ(context->currentPage(), 3);
    QTest::keyClick(sidebar->list(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<const PDFAnnotation*>{rows[4].get(), rows[3].get()}));

    // A box selected in the view is scrolled into sight, its folded section opened.
    sidebar->resize(260, 160);
    sidebar->list()->setCollapsed(3, true);
    tool()->selectAnnotation(rows[4]);
    const QRect rect = sidebar->list()->rowRect(rows[4].get());
    ASSERT_FALSE(rect.isEmpty());
    EXPECT_TRUE(sidebar->list()->viewport()->rect().contains(rect));
}

TEST_F(AnnotationsSidebarTest, OpeningReplacesTheSearchAndSignatureSidebars) {
    open(false);
    context->search()->setSidebarVisible(true);
    context->setSignatureSidebarVisible(true);
    context->openAnnotationsSidebar();
    EXPECT_TRUE(context->isAnnotationsSidebarVisible());
    EXPECT_FALSE(context->isSignatureSidebarVisible());
    EXPECT_FALSE(context->search()->isSidebarVisible());
    QTest::mouseClick(sidebar->findChild<QToolButton*>("closeButton"), Qt::LeftButton);
    EXPECT_FALSE(context->isAnnotationsSidebarVisible());
}

TEST_F(AnnotationsSidebarTest, DeletingFromMenuAndKeyAndRefreshingAfterUndo) {
    open();
    click(0);
    click(4, Qt::ControlModifier);

    // A selected row's menu deletes the whole selection; an unselected row's only itself.
    EXPECT_EQ(sidebar->contextMenuFor(rows[0])->actions().at(0)->text(), "Delete 2 Annotations");
    std::unique_ptr<QMenu> menu = sidebar->contextMenuFor(rows[2]);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions().at(0)->text(), "Delete");
    menu->actions().at(0)->trigger();
    EXPECT_EQ(listedRows(), 4);
    EXPECT_TRUE(sidebar->list()->rowRect(rows[2].get()).isEmpty());
    EXPECT_EQ(selected(), (std::vector<const PDFAnnotation*>{rows[0].get(), rows[4].get()}));

    // The Delete key removes the selection while the sidebar has focus.
    sidebar->list()->setFocus();
    QTest::keyClick(sidebar->list(), Qt::Key_Delete);
    EXPECT_EQ(listedRows(), 2);
    EXPECT_TRUE(selected().empty());
    EXPECT_EQ(sidebar->deleteButton()->text(), "Delete");

    context->undo();
    QCoreApplication::processEvents();
    EXPECT_EQ(listedRows(), 4);
    context->undo();
    QCoreApplication::processEvents();
    EXPECT_EQ(listedRows(), 5);
    EXPECT_EQ(sidebar->countLabel()->text(), "Found: 5");
}
