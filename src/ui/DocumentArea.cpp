#include "ui/DocumentArea.h"

#include "ui/DocumentBottomBar.h"
#include "ui/TabPages.h"
#include "image/ImageDocumentContext.h"
#include "pdf/PDFDocumentContext.h"
#include "pdf/view/ScrivolaPDFView.h"
#include "workspace/TabItem.h"
#include "workspace/WorkspaceDrops.h"

#include <QStackedWidget>
#include <QVBoxLayout>

namespace scrivola {

DocumentArea::DocumentArea(TabItem* tab, SignatureStorageService* storage, QWidget* parent) : QWidget(parent), tab_(tab) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    if (auto* image = qobject_cast<ImageDocumentContext*>(tab->context())) {
        page_ = new ImageTabPage(image, this);
    } else {
        auto* page = new PdfTabPage(qobject_cast<PDFDocumentContext*>(tab->context()), storage, this);
        page_ = page;
        connect(page->view(), &ScrivolaPDFView::painted, this, &DocumentArea::painted);
        connect(page->view(), &ScrivolaPDFView::filesDropped, this,
                [this](const QList<QUrl>& urls) { emit filesDropped(WorkspaceDrops::localPaths(urls)); });
    }
    layout_->addWidget(page_, 1);
    setBottomBar(new DocumentBottomBar(tab, this));
}

DocumentArea::~DocumentArea() = default;

PdfTabPage* DocumentArea::pdfPage() const { return qobject_cast<PdfTabPage*>(page_); }
ImageTabPage* DocumentArea::imagePage() const { return qobject_cast<ImageTabPage*>(page_); }

ScrivolaPDFView* DocumentArea::pdfView() const {
    PdfTabPage* page = pdfPage();
    return page ? page->view() : nullptr;
}

void DocumentArea::setSlot(QPointer<QWidget>& slot, QWidget* widget, int index) {
    if (slot == widget) return;
    delete slot.data();
    slot = widget;
    if (widget) layout_->insertWidget(index, widget);
}

void DocumentArea::setToolbar(QWidget* toolbar) { setSlot(toolbar_, toolbar, 0); }

void DocumentArea::setBottomBar(QWidget* bar) { setSlot(bottomBar_, bar, layout_->count()); }

// ---------------------------------------------------------------- cache

namespace {
// Every window's cache, so that an area can follow its tab into another window.
QList<DocumentAreaCache*>& allCaches() {
    static QList<DocumentAreaCache*> caches;
    return caches;
}

// Whether a pane shows the area now.
bool isShown(const DocumentArea* area) {
    const auto* stack = qobject_cast<const QStackedWidget*>(area->parentWidget());
    return stack && stack->currentWidget() == area;
}
}  // namespace

DocumentAreaCache::DocumentAreaCache(int limit, Make make, QObject* parent)
    : QObject(parent), limit_(limit), make_(std::move(make)) {
    allCaches().append(this);
}

DocumentAreaCache::~DocumentAreaCache() { allCaches().removeAll(this); }

void DocumentAreaCache::clear() {
    for (auto& [tab, area] : entries_) delete area.data();
    entries_.clear();
}

DocumentAreaCache::Entries::iterator DocumentAreaCache::entry(TabItem* tab) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->first == tab && it->second) return it;
    return entries_.end();
}

DocumentArea* DocumentAreaCache::find(TabItem* tab) const {
    for (const auto& [t, area] : entries_)
        if (t == tab && area) return area.data();
    return nullptr;
}

int DocumentAreaCache::count() const {
    int n = 0;
    for (const auto& e : entries_) n += e.second ? 1 : 0;
    return n;
}

DocumentArea* DocumentAreaCache::areaFor(TabItem* tab) {
    auto it = entry(tab);
    if (it != entries_.end()) {
        entries_.splice(entries_.end(), entries_, it);
        return entries_.back().second.data();
    }
    DocumentArea* area = nullptr;
    for (DocumentAreaCache* other : allCaches()) {
        if (other == this) continue;
        auto found = other->entry(tab);
        if (found == other->entries_.end()) continue;
        area = found->second.data();
        other->entries_.erase(found);
        break;
    }
    if (!area) {
        area = make_(tab);
        // The area dies with its tab.
        connect(tab, &QObject::destroyed, area, [area] { delete area; });
    }
    entries_.emplace_back(tab, area);
    trim();
    return area;
}

// The areas shown longest ago go first (they are made again when needed); those on screen stay.
void DocumentAreaCache::trim() {
    entries_.remove_if([](const auto& e) { return !e.second; });
    int excess = int(entries_.size()) - limit_;
    for (auto it = entries_.begin(); it != entries_.end() && excess > 0;) {
        if (isShown(it->second)) {
            ++it;
            continue;
        }
        delete it->second.data();
        it = entries_.erase(it);
        --excess;
    }
}

}  // namespace scrivola
