#pragma once

#include "pdf/PDFContextTypes.h"
#include "workspace/TabItem.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class QHBoxLayout;
class QLabel;

namespace scrivola {

class IconButton;
class ImageDocumentContext;
class PageNavigationView;
class PDFDocumentContext;
class TabItem;

// The display-mode picker's buttons.
enum class DisplayModeButton { singlePage, twoPages, continuousScroll };
// The mode a button of the picker gives from `current`: Single Page and Two Pages keep the
// continuity and choose the layout; Continuous Scroll keeps the layout and flips continuity.
ViewMode viewModeAfter(DisplayModeButton button, ViewMode current);

// The bar below a document. A PDF: the display-mode picker ("Single Page", "Two Pages",
// "Continuous Scroll"), a flexible space, the page navigator, the fit picker ("Fit Page",
// "Fit Width"), a divider and the zoom control ("Zoom Out", the zoom as "N%", "Zoom In"). An
// image: its file name (at most 250 pixels, elided; a collection adds "N images"), a flexible
// space, the navigator (one page an image), "Fit Image" / "Fit Width" and the zoom control.
// Reads and calls only the tab's context. Controls have object names ("singlePage",
// "continuousScroll", "fitPage", "fitWidth", "zoomIn", "zoomOut"; labels "zoomLabel", "imageName").
class DocumentBottomBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 250;

    explicit DocumentBottomBar(TabItem* tab, QWidget* parent = nullptr);

    IconButton* control(const QString& name) const;
    QLabel* zoomLabel() const { return zoomLabel_; }
    QLabel* imageName() const { return imageName_; }
    PageNavigationView* navigator() const { return navigator_; }

private:
    void build();
    void buildPdf(PDFDocumentContext* context);
    void buildImage(ImageDocumentContext* context);
    IconButton* addButton(const QString& name, const QString& symbol, const QString& toolTip,
                          const std::function<void()>& action);
    void addNavigatorAndZoom(const std::function<void(IconButton*, IconButton*)>& fitPicker);
    void refresh();

    QPointer<TabItem> tab_;
    QHBoxLayout* layout_ = nullptr;
    PageNavigationView* navigator_ = nullptr;
    QLabel* zoomLabel_ = nullptr;
    QLabel* imageName_ = nullptr;
    std::vector<std::function<void()>> updaters_;
};

}  // namespace scrivola
