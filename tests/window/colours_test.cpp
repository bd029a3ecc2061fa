#include "window/colours.h"

#include <QPalette>

#include <gtest/gtest.h>

#include <tuple>

namespace talvo::window {
namespace {

// The boxes in light and dark themes are the Form1 test's; here, what no theme reaches.
// Published reference values: #777 on white just fails 4.5:1.
TEST(Colours, ContrastRatios) {
    for (const auto& [a, b, ratio] : {std::tuple{QColor(Qt::black), QColor(Qt::white), 21.0},
                                      {QColor(0x80, 0x40, 0x20), QColor(0x80, 0x40, 0x20), 1.0},
                                      {QColor(Qt::white), QColor(0x77, 0x77, 0x77), 4.48}}) {
        EXPECT_NEAR(contrastRatio(a, b), ratio, 0.01);
    }
}

// Where no palette colour reads, black or white does, whatever the background.
TEST(Colours, FallsBackToBlackOrWhite) {
    QPalette grey;
    for (const auto role :
         {QPalette::Text, QPalette::Base, QPalette::WindowText, QPalette::Window}) {
        grey.setColor(role, QColor(0x77, 0x77, 0x77));
    }
    for (int level = 0; level < 256; level += 5) {
        const QColor background(level, level, 255 - level);
        EXPECT_GE(contrastRatio(readableTextOn(background, grey), background), ReadableContrast)
            << level;
    }
}

} // namespace
} // namespace talvo::window
