#include "ui/WindowChrome.h"

#include "ui/MessageBar.h"
#include "ui/TitleBarButtons.h"
#include "ui/WelcomeSheetView.h"
#include "workspace/AppViewModel.h"

#include <QBoxLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>

#include <memory>

namespace scrivola {

void installWindowChrome(QMainWindow& window, AppViewModel& model, QBoxLayout& contentLayout) {
    auto* bar = new MessageBar(contentLayout.parentWidget());
    contentLayout.insertWidget(0, bar);
    QObject::connect(&model, &AppViewModel::failureReported, bar, &MessageBar::showMessage);

    window.menuBar()->setCornerWidget(new TitleBarButtons(window.menuBar()), Qt::TopRightCorner);

    // The sheet is made when first needed and goes when dismissed.
    auto sheet = std::make_shared<QPointer<WelcomeSheetView>>();
    const auto present = [&window, &model, sheet](bool show) {
        if (!show) {
            if (*sheet) (*sheet)->deleteLater();
            *sheet = nullptr;
            return;
        }
        if (*sheet) return;
        auto* view = new WelcomeSheetView(&window);
        *sheet = view;
        QObject::connect(view, &WelcomeSheetView::dismissed, &model, [&model] { model.setShowWelcomeSheet(false); });
        view->show();
        view->getStartedButton()->setFocus();
    };
    QObject::connect(&model, &AppViewModel::showWelcomeSheetChanged, &window, present);
    present(model.showWelcomeSheet());
}

}  // namespace scrivola
