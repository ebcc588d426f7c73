#pragma once

#include "workspace/TabItem.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <list>

class QVBoxLayout;

namespace scrivola {

class ImageTabPage;
class PdfTabPage;
class ScrivolaPDFView;
class SignatureStorageService;
class TabItem;

// The document area of one tab: a toolbar slot, the tab's page (PDF or image) and a bottom bar
// slot. The bottom slot starts with the document's bottom bar (display modes, page navigator, fit, zoom).
class DocumentArea : public QWidget {
    Q_OBJECT
public:
    DocumentArea(TabItem* tab, SignatureStorageService* storage, QWidget* parent = nullptr);
    ~DocumentArea() override;

    TabItem* tab() const { return tab_; }
    QWidget* page() const { return page_; }
    PdfTabPage* pdfPage() const;
    ImageTabPage* imagePage() const;
    ScrivolaPDFView* pdfView() const;

    // The widget above the page, or none; the area owns it and deletes the one it replaces.
    void setToolbar(QWidget* toolbar);
    QWidget* toolbar() const { return toolbar_; }
    // The widget below the page, or none; the area owns it and deletes the one it replaces.
    void setBottomBar(QWidget* bar);
    QWidget* bottomBar() const { return bottomBar_; }

signals:
    // The PDF view painted its first picture.
    void painted();
    // Local files were dropped onto the PDF view.
    void filesDropped(const QStringList& paths);

private:
    void setSlot(QPointer<QWidget>& slot, QWidget* widget, int index);

    QPointer<TabItem> tab_;
    QVBoxLayout* layout_ = nullptr;
    QWidget* page_ = nullptr;
    QPointer<QWidget> toolbar_;
    QPointer<QWidget> bottomBar_;
};

// The document areas of one window by tab, most recently shown last, at most `limit` of them.
// An area goes with its tab: a window showing a tab whose area another window keeps takes it over.
// The areas shown by a pane are never dropped; an area dies with its tab.
class DocumentAreaCache : public QObject {
    Q_OBJECT
public:
    using Make = std::function<DocumentArea*(TabItem*)>;

    DocumentAreaCache(int limit, Make make, QObject* parent = nullptr);
    ~DocumentAreaCache() override;

    // The tab's area, taken from this window or another, or made; now the most recently shown.
    DocumentArea* areaFor(TabItem* tab);
    // The area of the tab if this window keeps one.
    DocumentArea* find(TabItem* tab) const;
    int count() const;
    // Deletes every area (before the window's model and its contexts go).
    void clear();
    // Where areas wait, hidden, while no pane holds them (a pane view that goes leaves them here).
    void setParking(QWidget* parking) { parking_ = parking; }
    QWidget* parking() const { return parking_; }

private:
    using Entries = std::list<std::pair<TabItem*, QPointer<DocumentArea>>>;
    Entries::iterator entry(TabItem* tab);
    void trim();

    int limit_;
    Make make_;
    QPointer<QWidget> parking_;
    Entries entries_;
};

}  // namespace scrivola
