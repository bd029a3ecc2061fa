#include "table/run.h"

#include "base/ordered_pipeline.h"
#include "table/chunks.h"
#include "table/head.h"

#include <algorithm>
#include <cstddef>
#include <string>

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
    if (options.profiles != nullptr) {
        options.profiles->gather();
    }
    summary.formulaCells += head.formulaCells;
    output.flush();
    if (!output) {
        throw base::Error("cannot write the output");
    }
    return summary;
}

void writeProfileSummary(const ProfileTable& profiles, const Settings& settings,
                         std::ostream& output, unsigned threads) {
    // Each thread formats a block of this many profiles' rows while the calling thread writes
    // the blocks before it.
    constexpr std::size_t ProfilesPerBlock = 4096;
    struct Block {
        std::size_t first = 0;
        std::string text;
    };
    const SummaryWriter writer(profiles, settings);
    const std::string header = writer.header();
    output.write(header.data(), static_cast<std::streamsize>(header.size()));
    std::size_t next = 0;
    const auto read = [&](Block& block) {
        block.first = next;
        next = std::min(profiles.size(), next + ProfilesPerBlock);
        return block.first < next;
    };
    const auto makeWorker = [&] {
        return [&, scratch = estimation::Profile()](Block& block) mutable {
            block.text.clear();
            writer.appendRows(block.first,
                              std::min(profiles.size(), block.first + ProfilesPerBlock), block.text,
                              scratch);
        };
    };
    const auto write = [&output](const Block& block) {
        output.write(block.text.data(), static_cast<std::streamsize>(block.text.size()));
    };
    const unsigned workers = threadsFor(threads);
    base::OrderedPipeline<Block>(workers, workers + 2).run(read, makeWorker, write);
}

HydraulicTally runHydraulics(std::istream& input, std::ostream& output, const Settings& settings,
                             const HydraulicArguments& arguments, HydraulicProfiles* profiles,
                             unsigned threads) {
    struct Job {
        Chunk chunk;
        HydraulicChunk rows;
    };
    ChunkReader reader(input, settings.delimiter, hydraulicChunkBytes(settings));
    const HydraulicFormatter formatter =
        startHydraulics(reader, output, settings, arguments, profiles);
    HydraulicTally tally;
    const auto read = [&reader](Job& job) { return reader.next(job.chunk); };
    const auto makeWorker = [&formatter] {
        return [copy = HydraulicFormatter(formatter)](Job& job) mutable {
            copy.format(job.chunk, job.rows);
        };
    };
    const auto take = [&](const Job& job) {
        takeHydraulicChunk(job.rows, output, profiles, tally);
        if (job.chunk.paused) {
            output.flush(); // the input waits: what it gave so far goes out now
        }
    };
    const unsigned workers = threadsFor(threads);
    base::OrderedPipeline<Job>(workers, workers + 2).run(read, makeWorker, take);
    return tally;
}

} // namespace talvo::table
