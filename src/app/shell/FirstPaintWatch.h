#pragma once

#include <functional>

class QWidget;

namespace scrivola {

// Calls `painted` once, right after the first paint event of the window or of any widget in it
// (the frame is then on its way to the screen). For start-up measurements.
void watchFirstPaint(QWidget* window, std::function<void()> painted);

}  // namespace scrivola
