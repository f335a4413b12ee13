#pragma once

// A display of its own (Xvfb) with a real window manager (openbox) for the test program,
// and what the tests ask the window manager about the program's windows.

#include <QWidget>

#include <string>
#include <vector>

namespace vexora::test {

// The names of the actions the window manager allows on a window
// (_NET_WM_ALLOWED_ACTIONS, e.g. "_NET_WM_ACTION_CLOSE"); empty before it has managed it.
std::vector<std::string> allowedActions(QWidget& window);

// Asks the window manager to close the window, as its close box does (_NET_CLOSE_WINDOW).
void askWindowManagerToClose(QWidget& window);

// Waits until the window manager has framed the shown window (its frame differs from
// its client area); false after the timeout.
bool waitForFrame(QWidget& window, int timeoutMs = 5000);

}  // namespace vexora::test
