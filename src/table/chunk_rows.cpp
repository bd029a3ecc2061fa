#include "table/rows.h"

#include <functional>

namespace talvo::table {

namespace {

// A chunk with quotes or CRs, through the careful reader. Apart from the loop over unquoted
// lines, whose calls then need no unwinding: in the browser's build that costs a trip through
// JavaScript per call.
void formatParsed(const Chunk& chunk, char delimiter, RowFormatter& formatter, OutputPiece& out,
                  Summary& summary, const std::function<void(OutputPiece&)>& pieceFull) {
    MemoryInput input(chunk.bytes);
    CsvReader reader(input, delimiter, chunk.firstLine);
    Records records;
    while (reader.next(records)) {
        formatter.writeParsed(records[0], out, summary);
        records.clear();
        if (out.size() >= PieceBytes) {
            pieceFull(out);
        }
    }
}

} // namespace

void formatChunk(const Chunk& chunk, char delimiter, RowFormatter& formatter, OutputPiece& out,
                 Summary& summary, const std::function<void(OutputPiece&)>& pieceFull) {
    if (!chunk.unquoted) {
        formatParsed(chunk, delimiter, formatter, out, summary, pieceFull);
        return;
    }
    const std::string_view bytes = chunk.bytes;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end;
        // The careful reader's limit, counting the line break as it does.
        if (end - start + (end < bytes.size() ? 1 : 0) > MaxRecordBytes) {
            throw tooLong(chunk.firstLine + countLines(bytes.substr(0, start)));
        }
        if (end != start) { // a blank line is no record
            formatter.writeUnquoted(bytes.substr(start, end - start), out, summary);
            if (out.size() >= PieceBytes) {
                pieceFull(out);
            }
        }
        start = end + 1;
    }
}

} // namespace talvo::table
