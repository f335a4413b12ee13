#pragma once

#include <QFont>

namespace vexora::ui {

// Makes the window fonts resolvable. The windows are drawn for Tahoma and Arial; where
// the system has no Tahoma, the free Tahoma-compatible faces Debian ships with Wine are
// loaded as application fonts, and where even those are missing Tahoma is mapped to the
// narrowest sans-serif available, so that no caption outgrows its control.
void ensureWindowFonts();

// Tahoma at a size in pixels.
QFont tahoma(int pixelSize, bool bold = false);
// Arial at a size in pixels (the link labels).
QFont arial(int pixelSize, bool underline = false);

}  // namespace vexora::ui
