#include "window/display_check.h"

#include <algorithm>

namespace talvo::window {

namespace {

bool reachable(std::string_view plugin, const DisplayEnvironment& environment) {
    // Options follow the name: "vnc:size=800x600". A plain search, where find() after inlining
    // makes GCC warn of a bound it cannot rule out.
    const std::string_view name(plugin.begin(), std::ranges::find(plugin, ':'));
    if (name == "xcb") {
        return !environment.x11Display.empty();
    }
    if (name.starts_with("wayland")) {
        return !environment.waylandDisplay.empty();
    }
    return true;
}

} // namespace

bool displayAvailable(const DisplayEnvironment& environment) {
    std::string_view rest = environment.platforms;
    if (rest.empty()) {
        rest = "xcb;wayland";
    }
    // Qt tries the plugins of a list in turn.
    while (!rest.empty()) {
        const auto end = rest.find(';');
        const std::string_view plugin = rest.substr(0, end);
        if (!plugin.empty() && reachable(plugin, environment)) {
            return true;
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return false;
}

std::string_view platformArgument(std::span<const char* const> arguments) {
    for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "-platform" || argument == "--platform") {
            return arguments[i + 1];
        }
    }
    return {};
}

} // namespace talvo::window
