#pragma once

#include "workspace/AppViewModel.h"

#include <QFrame>
#include <QPointer>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;

namespace scrivola {

class AppViewModel;
class Pane;

// The searchable list of a pane's tabs, shown as a popup under the tab list button. Rows show
// the kind symbol, the name and a checkmark on the active tab; the search matches names
// case-insensitively. Choosing a row focuses the pane, activates the tab and closes the list.
class TabListPopover : public QFrame {
    Q_OBJECT
public:
    TabListPopover(AppViewModel* model, int paneIndex, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return search_; }
    void setSearchText(const QString& text);
    // The names listed, in order.
    QStringList shownNames() const;
    // Whether "No matching tabs" is shown.
    bool showsNoMatches() const;
    // Whether the clear button is offered.
    bool offersClear() const;
    // Chooses the row.
    void choose(int row);

private:
    void refill();

    QPointer<AppViewModel> model_;
    int paneIndex_;
    QLineEdit* search_ = nullptr;
    QAction* clear_ = nullptr;
    QListWidget* list_ = nullptr;
    QLabel* empty_ = nullptr;
};

}  // namespace scrivola
