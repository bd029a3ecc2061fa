#pragma once

// What every command-line tool does around its work: errors as one line on standard error
// and status 2, whatever threw them.

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::cli {

// A usage or input error: the run did not start, or stopped, and wrote nothing.
inline constexpr int UsageStatus = 2;

class Tool {
public:
    explicit Tool(std::string name) : m_name(std::move(name)) {}

    const std::string& name() const { return m_name; }
    // "NAME: message" on one line, its control characters escaped: a table's header or a
    // file's name may hold anything, and must neither drive the terminal nor be cut short.
    void report(std::string_view message) const;
    // Nothing when the run goes on; else the status to end with: 0 after --help and
    // --version, UsageStatus for an error, which is reported. "--name=" with nothing after
    // the '=' is an error: the parser would take the next argument as its value.
    // Its help (and so the manual page made from it) lists no "Excludes:".
    std::optional<int> parse(CLI::App& app, int argc, char** argv) const;
    // The tool's status from `work`; anything it throws (an input error, out of memory, a
    // thread the system refused) is reported, with UsageStatus.
    int run(const std::function<int()>& work) const;

private:
    std::string m_name;
};

} // namespace talvo::cli
