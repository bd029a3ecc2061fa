#include "table/run.h"

#include "table/chunks.h"
#include "table/columns.h"
#include "table/csv.h"

#include <string>

namespace talvo::table {

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
        columns = findColumns(records[0], settings, options.notice);
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
