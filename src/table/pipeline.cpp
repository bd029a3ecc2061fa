#include "table/pipeline.h"

#include "base/error.h"
#include "base/ordered_pipeline.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace talvo::table {

namespace {

constexpr unsigned MaxThreads = 4;
// Room past a piece's size: the row that fills it is written in place.
constexpr std::size_t PieceCapacity = PieceBytes + (PieceBytes >> 2);

// A chunk and what its rows came to. The pipeline keeps each slot's job from chunk to chunk,
// so the chunk's buffer and the horizons' are used again rather than made anew.
struct Job {
    Chunk chunk;
    Summary summary;
    HorizonBatch horizons;
};

using ChunkPipeline = base::OrderedPipeline<Job, OutputPiece>;

OutputPiece emptyPiece() {
    OutputPiece piece;
    piece.reserve(PieceCapacity);
    return piece;
}

// Formats one chunk, handing its output on a piece at a time: the rows before a damaged
// record go out before its error.
void format(RowFormatter& formatter, char delimiter, Job& job, const ChunkPipeline::Emit& emit) {
    job.summary = {};
    formatter.horizons().clear();
    OutputPiece out = emptyPiece();
    try {
        formatChunk(job.chunk, delimiter, formatter, out, job.summary,
                    [&emit](OutputPiece& full) { emit(std::exchange(full, emptyPiece())); });
    } catch (...) {
        if (!out.empty()) {
            // cppcheck-suppress ignoredReturnValue
            emit(std::move(out));
        }
        throw;
    }
    if (!out.empty()) {
        // cppcheck-suppress ignoredReturnValue
        emit(std::move(out));
    }
    std::swap(job.horizons, formatter.horizons());
}

} // namespace

Summary runPipeline(ChunkReader& reader, std::ostream& output, const Settings& settings,
                    const Columns& columns, const RunOptions& options) {
    const unsigned threads = threadsFor(options.threads);
    // Two chunks more than there are workers: one being written, one read ahead.
    ChunkPipeline pipeline(threads, threads + 2);
    Summary summary;
    const auto write = [&output](const OutputPiece& piece) {
        output.write(piece.text().data(), static_cast<std::streamsize>(piece.size()));
        if (!output) {
            throw base::Error("cannot write the output");
        }
    };
    const auto done = [&](Job& job) {
        summary += job.summary;
        if (options.profiles != nullptr) {
            options.profiles->add(job.horizons);
        }
        if (job.chunk.paused && !output.flush()) {
            throw base::Error("cannot write the output");
        }
        if (options.progress) {
            options.progress(job.chunk.inputEnd);
        }
    };
    const auto makeWorker = [&] {
        return [formatter = RowFormatter(settings, columns),
                delimiter = settings.delimiter](Job& job, const ChunkPipeline::Emit& emit) mutable {
            format(formatter, delimiter, job, emit);
        };
    };
    pipeline.run([&reader](Job& job) { return reader.next(job.chunk); }, makeWorker, write, done);
    return summary;
}

unsigned threadsFor(unsigned threads) {
    return threads != 0 ? threads : std::clamp(std::thread::hardware_concurrency(), 1U, MaxThreads);
}

} // namespace talvo::table
