#include "cli/tool.h"

#include "table/printable.h"

#include <exception>
#include <iostream>
#include <new>

namespace talvo::cli {

void Tool::report(std::string_view message) const {
    std::cerr << m_name << ": " << table::printable(message) << '\n';
}

std::optional<int> Tool::parse(CLI::App& app, int argc, char** argv) const {
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error); // --help, --version
        }
        report(std::string(error.what()) + " (see --help)");
        return UsageStatus;
    } catch (const std::exception& error) {
        report(error.what()); // a check that ran while the options were read
        return UsageStatus;
    }
    return std::nullopt;
}

int Tool::run(const std::function<int()>& work) const {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        report("out of memory");
        return UsageStatus;
    } catch (const std::exception& error) {
        report(error.what());
        return UsageStatus;
    }
}

} // namespace talvo::cli
