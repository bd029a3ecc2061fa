#pragma once

#include <span>
#include <string_view>

namespace talvo::window {

// On X11 and Wayland systems Qt aborts, with advice to reinstall it, when no platform plugin
// can reach a display; the program checks beforehand, while it can still say so plainly.
inline constexpr bool NeedsDisplayCheck =
#if defined(__unix__) && !defined(__APPLE__) && !defined(__ANDROID__)
    true;
#else
    false;
#endif

inline constexpr const char* NoDisplayMessage =
    "No display: the calculator opens a desktop window; run this in a graphical session.";

struct DisplayEnvironment {
    std::string_view platforms;      // -platform, else QT_QPA_PLATFORM: "xcb", "wayland;xcb"...
    std::string_view x11Display;     // DISPLAY
    std::string_view waylandDisplay; // WAYLAND_DISPLAY
};

// Whether one of the platform plugins Qt will try can open a window: xcb needs DISPLAY,
// wayland needs WAYLAND_DISPLAY, the default tries both, and any other plugin (offscreen,
// vnc, eglfs...) needs neither.
bool displayAvailable(const DisplayEnvironment& environment);

// The value of a -platform (or --platform) argument, which Qt prefers to QT_QPA_PLATFORM;
// empty when there is none.
std::string_view platformArgument(std::span<const char* const> arguments);

} // namespace talvo::window
