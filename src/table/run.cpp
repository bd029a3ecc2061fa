#include "table/run.h"

#include "table/chunks.h"
#include "table/head.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <string>
#include <thread>
#include <vector>

namespace talvo::table {

Summary runTable(std::istream& input, std::ostream& output, const Settings& settings,
                 const RunOptions& options) {
    ChunkReader reader(input, settings.delimiter, ThreadChunkBytes);
    const Head head = readHead(reader, settings, options.inputName, options.notice);
    if (options.profiles != nullptr) {
        options.profiles->start(head.columns.models, head.columns.lineEnd);
    }
    output.write(head.line.data(), static_cast<std::streamsize>(head.line.size()));

    const Summary summary = runPipeline(reader, output, settings, head.columns, options);
    output.flush();
    if (!output) {
        throw Error("cannot write the output");
    }
    return summary;
}

void writeProfileSummary(const ProfileTable& profiles, const Settings& settings,
                         std::ostream& output, unsigned threads) {
    // Each thread formats a block of this many profiles' rows in a round; the blocks then go
    // out in order.
    constexpr std::size_t ProfilesPerBlock = 8192;
    const std::size_t count = threadsFor(threads);
    const SummaryWriter writer(profiles, settings);
    const std::string header = writer.header();
    output.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::vector<std::string> blocks(count);
    std::vector<estimation::Profile> scratch(count);
    std::vector<std::exception_ptr> failures(count);
    for (std::size_t first = 0; first < profiles.size(); first += count * ProfilesPerBlock) {
        const auto format = [&](std::size_t t) {
            try {
                const std::size_t from = std::min(profiles.size(), first + t * ProfilesPerBlock);
                blocks[t].clear();
                writer.appendRows(from, std::min(profiles.size(), from + ProfilesPerBlock),
                                  blocks[t], scratch[t]);
            } catch (...) {
                failures[t] = std::current_exception();
            }
        };
        {
            std::vector<std::jthread> helpers;
            for (std::size_t t = 1; t < count; ++t) {
                helpers.emplace_back(format, t);
            }
            format(0);
        } // joined
        for (std::size_t t = 0; t < count; ++t) {
            if (failures[t]) {
                std::rethrow_exception(failures[t]);
            }
            output.write(blocks[t].data(), static_cast<std::streamsize>(blocks[t].size()));
        }
    }
}

} // namespace talvo::table
