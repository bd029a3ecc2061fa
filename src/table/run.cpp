#include "table/run.h"

#include "table/chunks.h"
#include "table/columns.h"
#include "table/csv.h"
#include "table/printable.h"

#include <string>
#include <string_view>

namespace talvo::table {

namespace {

// The header's columns; a header the models cannot use names the input, as the reader's
// errors do: "soils.csv: missing columns: ...", "soils.csv, line 3: stray quote ...".
Columns readColumns(const RecordView& header, const Settings& settings, const RunOptions& options) {
    try {
        return findColumns(header, settings, options.notice);
    } catch (const Error& error) {
        if (options.inputName.empty()) {
            throw;
        }
        const std::string_view what = error.what();
        throw Error(printable(options.inputName) + (what.starts_with("line ") ? ", " : ": ") +
                    std::string(what));
    }
}

} // namespace

Summary runTable(std::istream& input, std::ostream& output, const Settings& settings,
                 const RunOptions& options) {
    ChunkReader reader(input, settings.delimiter);
    Columns columns;
    std::string header;
    {
        Chunk chunk;
        if (!reader.header(chunk)) {
            throw Error("the input is empty: the first row must name the columns");
        }
        MemoryInput bytes(chunk.bytes);
        CsvReader parser(bytes, settings.delimiter, chunk.firstLine);
        Records records;
        parser.next(records);
        columns = readColumns(records[0], settings, options);
        if (chunk.bytes.ends_with("\r\n")) {
            columns.lineEnd = "\r\n"; // a table from a spreadsheet stays one
        }
        if (reader.hadByteOrderMark()) {
            header += "\xEF\xBB\xBF"; // spreadsheets need it to read the output as UTF-8 too
        }
        header += outputHeader(records[0], settings, columns);
    }
    output.write(header.data(), static_cast<std::streamsize>(header.size()));

    const Summary summary = runPipeline(reader, output, settings, columns, options);
    output.flush();
    if (!output) {
        throw Error("cannot write the output");
    }
    return summary;
}

} // namespace talvo::table
