#include "table/run.h"

#include "table/chunks.h"
#include "table/head.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
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

    Summary summary = runPipeline(reader, output, settings, head.columns, options);
    summary.formulaCells += head.formulaCells;
    output.flush();
    if (!output) {
        throw base::Error("cannot write the output");
    }
    return summary;
}

void writeProfileSummary(const ProfileTable& profiles, const Settings& settings,
                         std::ostream& output, unsigned threads) {
    // Each thread formats a block of this many profiles' rows, writes it out when the blocks
    // before it are, and takes the next: one thread writes while the others format.
    constexpr std::size_t ProfilesPerBlock = 4096;
    const SummaryWriter writer(profiles, settings);
    const std::string header = writer.header();
    output.write(header.data(), static_cast<std::streamsize>(header.size()));
    const std::size_t blocks = (profiles.size() + ProfilesPerBlock - 1) / ProfilesPerBlock;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable turn;
    std::size_t written = 0; // blocks out, in order
    std::exception_ptr failure;
    const auto format = [&] {
        std::string text;
        estimation::Profile scratch;
        for (std::size_t block = next++; block < blocks; block = next++) {
            std::exception_ptr caught;
            try {
                text.clear();
                const std::size_t first = block * ProfilesPerBlock;
                writer.appendRows(first, std::min(profiles.size(), first + ProfilesPerBlock), text,
                                  scratch);
            } catch (...) {
                caught = std::current_exception();
            }
            std::unique_lock lock(mutex);
            if (caught && !failure) {
                failure = caught;
            }
            turn.wait(lock, [&] { return written == block || failure; });
            if (failure) {
                turn.notify_all();
                return;
            }
            output.write(text.data(), static_cast<std::streamsize>(text.size()));
            ++written;
            turn.notify_all();
        }
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t t = 1; t < threadsFor(threads); ++t) {
            helpers.emplace_back(format);
        }
        format();
    } // joined
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace talvo::table
