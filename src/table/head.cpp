#include "table/head.h"

#include "base/error.h"
#include "base/printable.h"
#include "table/csv.h"
#include "table/formulas.h"

namespace talvo::table {

std::string aboutInput(std::string_view inputName, std::string_view what) {
    if (inputName.empty()) {
        return std::string(what);
    }
    return base::printable(inputName) + (what.starts_with("line ") ? ", " : ": ") +
           std::string(what);
}

Head readHead(ChunkReader& reader, const Settings& settings, std::string_view inputName,
              const std::function<void(const std::string&)>& notice) {
    Chunk chunk;
    if (!reader.header(chunk)) {
        throw base::Error("the input is empty: the first row must name the columns");
    }
    MemoryInput bytes(chunk.bytes);
    CsvReader parser(bytes, settings.delimiter, chunk.firstLine);
    Records records;
    parser.next(records);
    Head head;
    try {
        head.columns = findColumns(records[0], settings, notice);
    } catch (const base::Error& error) {
        if (inputName.empty()) {
            throw;
        }
        throw base::Error(aboutInput(inputName, error.what()));
    }
    if (chunk.bytes.ends_with("\r\n")) {
        head.columns.lineEnd = "\r\n"; // a table from a spreadsheet stays one
    }
    if (reader.hadByteOrderMark()) {
        head.line += "\xEF\xBB\xBF"; // spreadsheets need it to read the output as UTF-8 too
    }
    head.line += outputHeader(records[0], settings, head.columns);
    for (std::size_t i = 0; i < records[0].size(); ++i) {
        head.formulaCells += readAsFormula(records[0][i]) ? 1U : 0U;
    }
    return head;
}

} // namespace talvo::table
