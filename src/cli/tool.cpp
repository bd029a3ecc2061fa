#include "cli/tool.h"

#include "base/printable.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <memory>
#include <new>

namespace talvo::cli {

namespace {

// The parser's help ends an option's line with the options it excludes ("Excludes:
// --fractions"), words for the parser, not the reader: the descriptions say it in theirs.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* option) const override {
        std::string text = CLI::Formatter::make_option_opts(option);
        text.resize(std::min(text.size(), text.find(" " + get_label("Excludes") + ":")));
        return text;
    }
};

} // namespace

void Tool::report(std::string_view message) const {
    std::cerr << m_name << ": " << base::printable(message) << '\n';
}

std::optional<int> Tool::parse(CLI::App& app, int argc, char** argv) const {
    // The parser reads "--output= soils.csv" as "--output soils.csv", and would replace the
    // table the user meant to read.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            break;
        }
        if (argument.starts_with("--") && argument.ends_with('=')) {
            report(std::string(argument) + " has nothing after '=': give " + std::string(argument) +
                   "VALUE (see --help)");
            return UsageStatus;
        }
    }
    app.formatter(std::make_shared<HelpFormatter>());
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
