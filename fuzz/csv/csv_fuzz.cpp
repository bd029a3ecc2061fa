#include "base/error.h"
#include "estimation/estimation.h"
#include "fuzz/support/text_forms.h"
#include "table/csv.h"
#include "table/run.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using talvo::fuzz::expect;
namespace base = talvo::base;
namespace table = talvo::table;
namespace estimation = talvo::estimation;

// Non-blank records by a plain walk over the bytes, apart from the reader: a quote opens a
// quoted field only at the start of a field, "" inside one is a quote, and CR, LF or CRLF
// outside quotes end a record. Nothing when a quote is never closed or a record, line break
// included, is longer than the reader takes.
std::optional<std::uint64_t> countRecords(std::string_view text, char delimiter) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::uint64_t count = 0;
    bool recordStart = true;
    bool fieldStart = true;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!recordStart && i + 1 - start > table::MaxRecordBytes) {
            return std::nullopt;
        }
        if (quoted) {
            if (c == '"') {
                const bool doubled = i + 1 < text.size() && text[i + 1] == '"';
                i += doubled ? 1 : 0;
                quoted = doubled;
            }
        } else if (c == '\r' || c == '\n') {
            count += recordStart ? 0 : 1;
            recordStart = true;
            fieldStart = true;
        } else {
            quoted = fieldStart && c == '"';
            start = recordStart ? i : start;
            recordStart = false;
            fieldStart = c == delimiter;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    return count + (recordStart ? 0 : 1);
}

std::vector<std::vector<std::string>> readAll(const std::string& text, char delimiter) {
    std::istringstream in(text);
    table::CsvReader reader(in, delimiter);
    table::Records records;
    std::vector<std::vector<std::string>> all;
    while (reader.next(records)) {
        const table::RecordView record = records[0];
        std::vector<std::string> fields;
        for (std::size_t i = 0; i < record.size(); ++i) {
            fields.emplace_back(record[i]);
        }
        all.push_back(std::move(fields));
        records.clear();
    }
    return all;
}

// The output read back: a header, then for each input record one row per model, as wide as
// the header, each holding the record's fields unchanged (a short row padded; a long row's
// surplus, unless empty, kept in its error cell), and no stray quote anywhere.
void checkOutput(const std::string& input, const std::string& output, char delimiter,
                 std::uint64_t rows) {
    try {
        const auto in = readAll(input, delimiter);
        const auto out = readAll(output, delimiter);
        expect(!out.empty(), "the output has a header", output);
        expect(out.size() == rows + 1, "one output row per record and model", output);
        const std::size_t columns = in.front().size();
        const std::size_t width = out.front().size();
        if (rows == 0) {
            return;
        }
        const std::size_t perRecord = rows / (in.size() - 1);
        expect(perRecord > 0, "a row for every record");
        for (std::size_t r = 1; r < out.size(); ++r) {
            const std::vector<std::string>& record = in[1 + (r - 1) / perRecord];
            const std::vector<std::string>& row = out[r];
            expect(row.size() == width, "every output row is as wide as the header");
            for (std::size_t i = 0; i < std::min(record.size(), columns); ++i) {
                expect(row[i] == record[i], "every input field comes through unchanged", record[i]);
            }
            // Surplus fields plain enough to stand in the error cell as they are.
            for (std::size_t i = columns; i < record.size(); ++i) {
                const bool plain =
                    record[i].find_first_of(std::string{'"', '\r', '\n', delimiter}) ==
                    std::string::npos;
                expect(!plain || row.back().find(record[i]) != std::string::npos,
                       "a long row's surplus is kept in its error cell", record[i]);
            }
        }
    } catch (const table::CsvError& error) {
        expect(false, "the output reads back as CSV", error.what());
    }
}

} // namespace

// The first byte chooses the settings: bit 0 decimal comma (and ';' between fields), bit 1
// general precision, bit 2 every model, bit 3 a header naming the four inputs before the
// rest. The rest is the table, run with two threads and again with one.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned options = data[0];
    const bool comma = (options & 1U) != 0;
    table::Settings settings;
    if ((options & 4U) != 0) {
        settings.allModels = true;
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            settings.models.push_back(&model);
        }
    } else {
        settings.models.push_back(estimation::modelAt(2));
    }
    settings.precision = (options & 2U) != 0 ? table::Precision::general : table::Precision::fixed;
    settings.decimal = estimation::DecimalSeparator(comma ? ',' : '.');
    settings.delimiter = comma ? ';' : ',';
    std::string text;
    if ((options & 8U) != 0) {
        text = comma ? "sand;silt;clay;oc\n" : "sand,silt,clay,oc\n";
    }
    text.append(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::optional<std::uint64_t> records = countRecords(text, settings.delimiter);
    std::istringstream input(text);
    std::ostringstream output;
    table::Summary summary;
    table::RunOptions run;
    run.threads = 2;
    try {
        summary = table::runTable(input, output, settings, run);
    } catch (const table::CsvError&) {
        expect(!records, "the reader fails only on an unclosed quote", text);
        return 0;
    } catch (const base::Error&) {
        return 0; // no header, a missing column, a stray quote in the header: refused whole
    }
    expect(records.has_value(), "an unclosed quote or an overlong record is reported", text);
    expect(summary.records + 1 == *records, "every non-blank record below the header is read",
           text);
    expect(summary.records == 0 || (summary.rows % summary.records == 0 &&
                                    summary.rows / summary.records <= settings.models.size()),
           "one row per record and model that applies", text);
    expect(summary.rowsWithError <= summary.rows, "errors counted among the rows");
    // A row adds the model's columns to its record: near the limit the output has rows longer
    // than the reader takes, and only the bytes of the runs are compared.
    if (text.size() < table::MaxRecordBytes / 2) {
        checkOutput(text, output.str(), settings.delimiter, summary.rows);
    }

    // The threads share the work, never the result: one thread gives the same bytes.
    std::istringstream again(text);
    std::ostringstream alone;
    run.threads = 1;
    const table::Summary single = table::runTable(again, alone, settings, run);
    expect(alone.str() == output.str(), "one thread and two give the same bytes", text);
    expect(single.rowsWithError == summary.rowsWithError, "the same rows fail");
    return 0;
}
