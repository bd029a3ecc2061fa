#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace talvo::cli {

// "[#########           ]  45%": how far through its input a long run is.
std::string progressLine(std::uint64_t done, std::uint64_t total);

// Draws progressLine on one terminal line, at most a few times a second, and clears it at
// the end so that nothing of it stays in the terminal's scroll-back.
class ProgressBar {
public:
    ProgressBar(std::ostream& out, std::uint64_t totalBytes);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar();

    void update(std::uint64_t bytesDone);

private:
    std::ostream& m_out;
    std::uint64_t m_total;
    std::chrono::steady_clock::time_point m_lastDrawn{};
    bool m_drawn = false;
};

} // namespace talvo::cli
