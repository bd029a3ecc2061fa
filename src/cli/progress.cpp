#include "cli/progress.h"

#include <algorithm>

namespace talvo::cli {

namespace {

constexpr std::uint64_t BarWidth = 30;
constexpr auto RedrawEvery = std::chrono::milliseconds(200);

} // namespace

std::string progressLine(std::uint64_t done, std::uint64_t total) {
    const std::uint64_t percent = total == 0 ? 100 : std::min(done, total) * 100 / total;
    const std::uint64_t filled = percent * BarWidth / 100;
    std::string line = "[";
    line.append(filled, '#');
    line.append(BarWidth - filled, ' ');
    line += "] ";
    const std::string number = std::to_string(percent);
    line.append(3 - number.size(), ' ');
    return line + number + "%";
}

ProgressBar::ProgressBar(std::ostream& out, std::uint64_t totalBytes)
    : m_out(out), m_total(totalBytes) {}

ProgressBar::~ProgressBar() {
    if (m_drawn) {
        m_out << '\r' << std::string(progressLine(0, 1).size(), ' ') << '\r' << std::flush;
    }
}

void ProgressBar::update(std::uint64_t bytesDone) {
    const auto now = std::chrono::steady_clock::now();
    if (m_drawn && now - m_lastDrawn < RedrawEvery) {
        return;
    }
    m_lastDrawn = now;
    m_drawn = true;
    m_out << '\r' << progressLine(bytesDone, m_total) << std::flush;
}

} // namespace talvo::cli
