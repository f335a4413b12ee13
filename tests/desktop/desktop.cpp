#include "desktop.h"

#include <QtGui/qguiapplication_platform.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <thread>

#include "app/program.h"

namespace vexora::test {
namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const std::string& name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(r);
    return a;
}

std::string atomName(xcb_connection_t* c, xcb_atom_t a) {
    xcb_get_atom_name_reply_t* r = xcb_get_atom_name_reply(c, xcb_get_atom_name(c, a), nullptr);
    if (!r)
        return {};
    std::string name(xcb_get_atom_name_name(r),
                     static_cast<std::size_t>(xcb_get_atom_name_name_length(r)));
    std::free(r);
    return name;
}

// Starts a program with the child ending when this process does, whatever ends it.
pid_t spawn(const std::vector<std::string>& argv) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 0);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

void stop(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
}

// Xvfb on a free display, openbox managing it, then the program's QApplication on it.
class DesktopEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        xvfb_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                       "-nolisten", "tcp", "-noreset"});
        ::close(fds[1]);
        std::string display;
        char ch = 0;
        while (::read(fds[0], &ch, 1) == 1 && ch != '\n')
            display += ch;
        ::close(fds[0]);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start (is the package xvfb installed?)";
        qputenv("DISPLAY", QByteArray(":") + display.c_str());
        qputenv("QT_QPA_PLATFORM", "xcb");
        wm_ = spawn({"openbox", "--sm-disable"});
        app_ = std::make_unique<app::VexoraApplication>(argc_, argv_);
        xcb_connection_t* c = connection();
        ASSERT_NE(c, nullptr);
        // The window manager is there once it owns the screen's manager selection.
        const xcb_atom_t wmSelection = atom(c, "WM_S0");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        bool managed = false;
        while (!managed && std::chrono::steady_clock::now() < until) {
            xcb_get_selection_owner_reply_t* r =
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, wmSelection), nullptr);
            managed = r && r->owner != XCB_NONE;
            std::free(r);
            if (!managed)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(managed) << "openbox did not start (is the package openbox installed?)";
    }
    void TearDown() override {
        app_.reset();
        stop(wm_);
        stop(xvfb_);
    }

private:
    pid_t xvfb_ = -1;
    pid_t wm_ = -1;
    int argc_ = 1;
    char name_[16] = "test_desktop";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<app::VexoraApplication> app_;
};

const ::testing::Environment* const kDesktop =
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

}  // namespace

std::vector<std::string> allowedActions(QWidget& window) {
    std::vector<std::string> names;
    xcb_connection_t* c = connection();
    if (!c)
        return names;
    const xcb_atom_t property = atom(c, "_NET_WM_ALLOWED_ACTIONS");
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(c,
                               xcb_get_property(c, 0, static_cast<xcb_window_t>(window.winId()),
                                                property, XCB_ATOM_ATOM, 0, 64),
                               nullptr);
    if (!r)
        return names;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(r));
    const int n = xcb_get_property_value_length(r) / static_cast<int>(sizeof(xcb_atom_t));
    for (int i = 0; i < n; ++i)
        names.push_back(atomName(c, atoms[i]));
    std::free(r);
    return names;
}

void askWindowManagerToClose(QWidget& window) {
    xcb_connection_t* c = connection();
    ASSERT_NE(c, nullptr);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window.winId());
    event.type = atom(c, "_NET_CLOSE_WINDOW");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = 2;  // from a pager or a task bar: as the user asked
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
}

bool waitForFrame(QWidget& window, int timeoutMs) {
    return QTest::qWaitFor(
        [&] { return window.isVisible() && window.frameGeometry() != window.geometry(); },
        timeoutMs);
}

}  // namespace vexora::test
