#pragma once

#include <QWidget>

namespace vexora::ui {

// Asks the window manager for a title bar without close, minimise and maximise boxes,
// as the window flags give on Windows. X11 window managers read the Motif hints, which
// Qt fills with every function when a window asks for none: they are written again here
// before the window is mapped. Nothing to do on other platforms (and offscreen).
void removeSystemButtons(QWidget* window);

}  // namespace vexora::ui
