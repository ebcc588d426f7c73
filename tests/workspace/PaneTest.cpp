// Pane: closing and activation rules, tab order, and the cap on cached PDF views.
#include "WorkspaceFakes.h"

#include "pdf/PDFDocumentContext.h"
#include "pdf/PDFDocumentModel.h"
#include "pdf/PDFViewHandle.h"
#include "support/PdfFactory.h"
#include "workspace/Pane.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace scrivola;
using namespace scrivola::testing;

namespace {

// Adds tabs named t0..t(n-1); returns them in order.
QList<TabItem*> addTabs(Pane& pane, int n) {
    QList<TabItem*> tabs;
    for (int i = 0; i < n; ++i) tabs.append(pane.addTab(fakeTab(QStringLiteral("t%1.pdf").arg(i))));
    return tabs;
}

class NullPDFView : public PDFViewHandle {
public:
    std::optional<PDFSelection> currentSelection() const override { return std::nullopt; }
    void clearSelection() override {}
    int pageIndexAt(const QPointF&, bool) const override { return -1; }
    QPointF convertToPage(const QPointF& p, int) const override { return p; }
};

}  // namespace

TEST(PaneTest, ClosingRepairsTheActiveTab) {
    // Of three tabs: which is active, which closes, which is active afterwards.
    for (const auto& [active, closed, after] : {std::tuple{2, 2, 1}, {1, 1, 2}, {1, 0, 1}}) {
        Pane pane;
        const auto tabs = addTabs(pane, 3);
        pane.setActiveTabID(tabs[active]->id());
        QSignalSpy activeSpy(&pane, &Pane::activeTabIDChanged);
        pane.closeTab(*tabs[closed]);
        EXPECT_EQ(pane.count(), 2);
        EXPECT_EQ(pane.activeTab(), tabs[after]) << active << closed;
        EXPECT_EQ(activeSpy.count(), active == closed ? 1 : 0);
    }
    {  // the only tab: an empty pane without an active tab, and the document is gone
        Pane pane;
        FakeDocument* document = nullptr;
        TabItem* tab = pane.addTab(fakeTab(QStringLiteral("a.pdf"), &document));
        QSignalSpy destroyed(document, &QObject::destroyed);
        pane.closeTab(*tab);
        EXPECT_TRUE(pane.isEmpty());
        EXPECT_TRUE(pane.activeTabID().isNull());
        EXPECT_EQ(destroyed.count(), 1);
    }
    {  // a tab of another pane: nothing
        Pane pane, other;
        addTabs(pane, 2);
        QSignalSpy tabsSpy(&pane, &Pane::tabsChanged);
        pane.closeTab(*addTabs(other, 1)[0]);
        EXPECT_EQ(pane.count(), 2);
        EXPECT_EQ(other.count(), 1);
        EXPECT_EQ(tabsSpy.count(), 0);
    }
}

TEST(PaneTest, MoveTabReordersAndKeepsTheActiveTab) {
    Pane pane;
    const auto tabs = addTabs(pane, 4);  // active: t3
    pane.moveTab(0, 3);
    EXPECT_EQ(pane.tabs(), (QList<TabItem*>{tabs[1], tabs[2], tabs[3], tabs[0]}));
    pane.moveTab(3, 1);
    EXPECT_EQ(pane.tabs(), (QList<TabItem*>{tabs[1], tabs[0], tabs[2], tabs[3]}));
    EXPECT_EQ(pane.activeTab(), tabs[3]);

    const auto before = pane.tabs();
    for (auto [from, to] : {std::pair{-1, 0}, {0, -1}, {2, 2}, {4, 0}, {0, 4}}) pane.moveTab(from, to);
    EXPECT_EQ(pane.tabs(), before);
}

class PaneEvictionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        pdfPath = writeFile(dir, QStringLiteral("one.pdf"), textPdf(1));
    }
    // A PDF tab with a real context whose view is cached.
    TabItem* addPDFTab() {
        auto model = std::make_unique<PDFDocumentModel>(pdfPath);
        PDFDocumentModel* raw = model.get();
        auto tab = std::make_unique<TabItem>(std::move(model));
        auto context = std::make_unique<PDFDocumentContext>(raw);
        context->setCachedPDFView(std::make_shared<NullPDFView>());
        tab->setContext(std::move(context));
        return pane.addTab(std::move(tab));
    }
    static bool cached(TabItem* tab) { return static_cast<PDFDocumentContext*>(tab->context())->hasCachedPDFView(); }

    QTemporaryDir dir;
    QString pdfPath;
    Pane pane;
};

TEST_F(PaneEvictionTest, KeepsTwentyViewsReleasingTheOldest) {
    QList<TabItem*> tabs;
    for (int i = 0; i < 20; ++i) tabs.append(addPDFTab());
    pane.addTab(fakeTab(QStringLiteral("not-a-pdf-context.pdf")));  // counts for nothing
    pane.evictOldPDFViews();
    for (TabItem* tab : tabs) EXPECT_TRUE(cached(tab));

    tabs.append(addPDFTab());  // the 21st; adding does not evict
    EXPECT_TRUE(cached(tabs[0]));
    pane.selectTab(tabs[20]->id());
    EXPECT_FALSE(cached(tabs[0]));
    for (int i = 1; i < 21; ++i) EXPECT_TRUE(cached(tabs[i])) << i;
    EXPECT_EQ(pane.count(), 22);  // the document stays open

    // The active tab is never released, however old.
    tabs.append(addPDFTab());
    pane.setActiveTabID(tabs[1]->id());
    pane.evictOldPDFViews();
    EXPECT_TRUE(cached(tabs[1]));
    EXPECT_FALSE(cached(tabs[2]));
    EXPECT_TRUE(cached(tabs[3]));
}
