#include "table/run.h"

#include "table/chunks.h"
#include "table/head.h"

namespace talvo::table {

Summary runTable(std::istream& input, std::ostream& output, const Settings& settings,
                 const RunOptions& options) {
    ChunkReader reader(input, settings.delimiter);
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

} // namespace talvo::table
