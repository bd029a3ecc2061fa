#pragma once

// Starting a program in an X server and handling its window the way a window manager would,
// for the test of the real executable and for the start-up benchmark. Needs DISPLAY.
// Xlib stays out of this header: its macros (None, Bool, Status) clash with other libraries.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct _XDisplay; // NOLINT(bugprone-reserved-identifier): Xlib's own name for Display

namespace talvo::x11 {

using WindowId = unsigned long;

struct Geometry {
    int x, y, width, height;
};

// A connection to the X server that sees every top-level window being mapped.
class Session {
public:
    Session(); // throws std::runtime_error without a display
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The next top-level window mapped, or nothing within the timeout.
    std::optional<WindowId> waitForMap(std::chrono::milliseconds timeout);
    // Whether the window shows more than one colour within the timeout: its first paint, as
    // the program flushes a whole painted window at once.
    bool waitForPaint(WindowId window, std::chrono::milliseconds timeout);
    std::string title(WindowId window) const;
    Geometry geometry(WindowId window) const;
    Geometry screen() const;
    // What a window manager sends when the user closes a window: WM_DELETE_WINDOW.
    void requestClose(WindowId window);

private:
    WindowId root() const;
    _XDisplay* m_display;
};

pid_t spawn(const std::vector<std::string>& command);

struct Exit {
    int status;        // as waitpid reports it
    long peakMemoryKb; // largest resident set of the process
};

// Waits for the process to end; nothing if it is still running after the timeout.
std::optional<Exit> waitForExit(pid_t pid, std::chrono::milliseconds timeout);

} // namespace talvo::x11
