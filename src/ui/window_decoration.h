#pragma once

#include <QWidget>

namespace vexora::ui {

// Height of the title strip a window draws itself.
inline constexpr int kOwnTitleHeight = 24;

// The progress and options windows have a title bar without close, minimise or
// maximise boxes, as the window flags give on Windows. X11 window managers draw those
// boxes whatever a window asks (openbox keeps the close box against every hint), so
// there the window manager's frame is dropped and the window draws a title strip of its
// own: the caption, a border, and dragging the strip moves the window.
//
// Call from the constructor, after the window's own children exist: on X11 the window
// becomes frameless, its children move down by the strip's height and the returned
// height (0 where the system's title bar is used) is what the window must add to its
// client height.
int useTitleWithoutBoxes(QWidget* window);

}  // namespace vexora::ui
