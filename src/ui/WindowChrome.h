#pragma once

class QBoxLayout;
class QMainWindow;

namespace scrivola {

class AppViewModel;

// Gives a workspace window what surrounds its documents: the message bar at the top of
// `contentLayout` showing the model's failures, the title-bar buttons at the trailing end of
// the menu bar, and the welcome sheet whenever the model's showWelcomeSheet is true.
void installWindowChrome(QMainWindow& window, AppViewModel& model, QBoxLayout& contentLayout);

}  // namespace scrivola
