#include "window/display_check.h"

#include <gtest/gtest.h>

#include <array>
#include <span>
#include <string_view>

namespace talvo::window {
namespace {

struct Case {
    std::string_view platforms, x11, wayland;
    bool available;
};

// Qt's default tries X11 and Wayland; a named plugin needs its own display; a list needs one
// plugin that can start; plugins without a desktop session need none.
TEST(DisplayCheck, OneTriedPluginMustReachItsDisplay) {
    constexpr std::array<Case, 14> cases{{
        {"", "", "", false},
        {"", ":0", "", true},
        {"", "", "wayland-0", true},
        {"xcb", "", "wayland-0", false},
        {"xcb", ":99", "", true},
        {"wayland", ":0", "", false},
        {"wayland-egl", "", "wayland-1", true},
        {"wayland;xcb", ":0", "", true},
        {"wayland;xcb", "", "", false},
        {"xcb:nograb", "", "", false},
        {"offscreen", "", "", true},
        {"minimal", "", "", true},
        {"vnc:size=800x600", "", "", true},
        {";", "", "", false},
    }};
    for (const Case& c : cases) {
        EXPECT_EQ(displayAvailable({c.platforms, c.x11, c.wayland}), c.available)
            << "platforms '" << c.platforms << "', DISPLAY '" << c.x11 << "', WAYLAND_DISPLAY '"
            << c.wayland << "'";
    }
}

TEST(DisplayCheck, PlatformArgument) {
    const std::array argv{"talvo", "-platform", "offscreen"};
    const std::array dashes{"talvo", "--platform", "xcb"};
    const std::array last{"talvo", "-platform"};
    EXPECT_EQ(platformArgument(argv), "offscreen");
    EXPECT_EQ(platformArgument(dashes), "xcb");
    EXPECT_EQ(platformArgument(last), "");
    EXPECT_EQ(platformArgument(std::span(argv).first(1)), "");
}

} // namespace
} // namespace talvo::window
