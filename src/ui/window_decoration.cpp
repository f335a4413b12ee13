#include "ui/window_decoration.h"

#include <QGuiApplication>

#if defined(VEXORA_HAVE_XCB)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#endif

namespace vexora::ui {

void removeSystemButtons(QWidget* window) {
#if defined(VEXORA_HAVE_XCB)
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    constexpr char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
    if (!reply)
        return;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    // flags: functions and decorations; functions: move only; decorations: border and
    // title (the fixed-size windows need no resize handles).
    constexpr std::uint32_t kFunctions = 1u << 0;
    constexpr std::uint32_t kDecorations = 1u << 1;
    constexpr std::uint32_t kFuncMove = 1u << 2;
    constexpr std::uint32_t kDecorBorder = 1u << 1;
    constexpr std::uint32_t kDecorTitle = 1u << 3;
    const std::array<std::uint32_t, 5> hints{kFunctions | kDecorations, kFuncMove,
                                             kDecorBorder | kDecorTitle, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom, atom, 32,
                        static_cast<std::uint32_t>(hints.size()), hints.data());
    xcb_flush(connection);
#else
    (void)window;
#endif
}

}  // namespace vexora::ui
