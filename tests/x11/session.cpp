#include "x11/session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
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

bool Session::waitForPaint(WindowId window, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    const Geometry size = geometry(window);
    // A band across the middle: small, so that looking costs the program little, and crossing
    // whatever the window shows.
    constexpr int Band = 8;
    const int top = std::max(0, size.height / 2 - Band / 2);
    const int rows = std::min(Band, size.height - top);
    while (Clock::now() < end) {
        XImage* image = XGetImage(m_display, window, 0, top, static_cast<unsigned>(size.width),
                                  static_cast<unsigned>(rows), AllPlanes, ZPixmap);
        bool painted = false;
        if (image != nullptr) {
            const unsigned long first = XGetPixel(image, 0, 0);
            for (int y = 0; y < rows && !painted; ++y) {
                for (int x = 0; x < size.width && !painted; ++x) {
                    painted = XGetPixel(image, x, y) != first;
                }
            }
            XDestroyImage(image);
        }
        if (painted) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
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
