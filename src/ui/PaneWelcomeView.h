#pragma once

#include "workspace/AppViewModel.h"

#include <QAbstractButton>
#include <QList>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace scrivola {

class AppViewModel;
class Pane;
class TabItem;

// A row naming a tab of the other pane (kind symbol, name, an arrow); a click moves the tab into
// the target pane and focuses it.
class MoveTabButton : public QAbstractButton {
    Q_OBJECT
public:
    MoveTabButton(AppViewModel* model, TabItem* tab, int paneIndex, QWidget* parent = nullptr);
    TabItem* tab() const { return tab_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<AppViewModel> model_;
    QPointer<TabItem> tab_;
    int paneIndex_;
};

// What a pane without an active tab shows: the tabs of the other pane to move here, or how to
// open a document.
class PaneWelcomeView : public QWidget {
    Q_OBJECT
public:
    PaneWelcomeView(AppViewModel* model, int paneIndex, QWidget* parent = nullptr);

    void setPaneIndex(int index);
    // The heading shown: "Move a tab here" or "Scrivola".
    QString heading() const;
    QList<MoveTabButton*> moveButtons() const { return buttons_; }

private:
    // The other pane: pane 1 for pane 0, otherwise pane 0; null when it does not exist.
    Pane* otherPane() const;
    void observe();
    void rebuild();

    QPointer<AppViewModel> model_;
    int paneIndex_;
    QVBoxLayout* content_ = nullptr;
    QLabel* heading_ = nullptr;
    QList<MoveTabButton*> buttons_;
    QPointer<Pane> observed_;
    QList<QMetaObject::Connection> connections_;
};

}  // namespace scrivola
