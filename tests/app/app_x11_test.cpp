// The real executable in a real X server: started as a desktop would start it, closed as a
// window manager closes a window. Run under xvfb-run, with the path of talvo in TALVO.

#include "x11/session.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

using namespace std::chrono_literals;

// State: an empty X server. Action: start talvo, then send WM_DELETE_WINDOW to its window.
// Expected: one window, captioned, 376 x 507, centred; the program ends with status 0.
TEST(Talvo, OpensOneWindowAndEndsWhenClosed) {
    const char* program = std::getenv("TALVO");
    ASSERT_NE(program, nullptr) << "TALVO names no program";
    talvo::x11::Session session;
    const pid_t pid = talvo::x11::spawn({program});

    const auto window = session.waitForMap(20s);
    ASSERT_TRUE(window.has_value()) << "no window within 20 s";
    // Nothing else opens shortly after.
    EXPECT_FALSE(session.waitForMap(500ms).has_value());

    EXPECT_EQ(session.title(*window), "TALVO Soil Moisture Calculator");
    const talvo::x11::Geometry geometry = session.geometry(*window);
    EXPECT_EQ(geometry.width, 376);
    EXPECT_EQ(geometry.height, 507);
    const talvo::x11::Geometry screen = session.screen();
    EXPECT_NEAR(geometry.x, (screen.width - geometry.width) / 2.0, 1);
    EXPECT_NEAR(geometry.y, (screen.height - geometry.height) / 2.0, 1);

    session.requestClose(*window);
    const auto exit = talvo::x11::waitForExit(pid, 10s);
    if (!exit) {
        kill(pid, SIGKILL);
        FAIL() << "still running 10 s after the close request";
    }
    ASSERT_TRUE(WIFEXITED(exit->status)) << "ended by signal " << WTERMSIG(exit->status);
    EXPECT_EQ(WEXITSTATUS(exit->status), 0);
}

} // namespace
