#include "x11/session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

namespace talvo::x11 {

using Clock = std::chrono::steady_clock;

Session::Session() : m_display(XOpenDisplay(nullptr)) {
    if (m_display == nullptr) {
        throw std::runtime_error("cannot open the X display (is DISPLAY set?)");
    }
    XSelectInput(m_display, root(), SubstructureNotifyMask);
    XSync(m_display, False);
}

Session::~Session() {
    XCloseDisplay(m_display);
}

WindowId Session::root() const {
    return DefaultRootWindow(m_display);
}

std::optional<WindowId> Session::waitForMap(std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (true) {
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == MapNotify && event.xmap.event == root() &&
                event.xmap.override_redirect == 0) {
                return event.xmap.window;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd fd{ConnectionNumber(m_display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

std::string Session::title(WindowId window) const {
    char* name = nullptr;
    std::string text;
    if (XFetchName(m_display, window, &name) != 0 && name != nullptr) {
        text = name;
        XFree(name);
    }
    return text;
}

Geometry Session::geometry(WindowId window) const {
    XWindowAttributes a{};
    XGetWindowAttributes(m_display, window, &a);
    return {a.x, a.y, a.width, a.height};
}

Geometry Session::screen() const {
    const Screen* s = DefaultScreenOfDisplay(m_display);
    return {0, 0, s->width, s->height};
}

void Session::requestClose(WindowId window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window, False, NoEventMask, &event);
    XFlush(m_display);
}

pid_t spawn(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    argv.reserve(command.size() + 1);
    for (const std::string& arg : command) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start " + command.front());
    }
    return pid;
}

std::optional<Exit> waitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (true) {
        int status = 0;
        rusage usage{};
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            return Exit{status, usage.ru_maxrss};
        }
        if (done < 0 || Clock::now() >= end) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace talvo::x11
