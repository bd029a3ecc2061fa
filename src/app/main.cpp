#include "window/application.h"
#include "window/display_check.h"
#include "window/form1.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

std::string_view environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

int main(int argc, char* argv[]) {
    if constexpr (talvo::window::NeedsDisplayCheck) {
        std::string_view platforms =
            talvo::window::platformArgument({argv, static_cast<std::size_t>(argc)});
        if (platforms.empty()) {
            platforms = environment("QT_QPA_PLATFORM");
        }
        if (!talvo::window::displayAvailable(
                {platforms, environment("DISPLAY"), environment("WAYLAND_DISPLAY")})) {
            std::fprintf(stderr, "%s\n", talvo::window::NoDisplayMessage);
            return EXIT_FAILURE;
        }
    }

    QApplication application(argc, argv);
    talvo::window::describeApplication();

    talvo::window::Form1 form;
    talvo::window::showCentred(form);
    return QApplication::exec();
}
