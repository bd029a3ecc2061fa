#include "estimation/catalogue.h"
#include "fuzz/support/text_forms.h"
#include "table/csv.h"
#include "table/error.h"
#include "table/run.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace {

using talvo::fuzz::expect;
namespace table = talvo::table;

// Non-blank records by a plain walk over the bytes, apart from the reader: a quote opens a
// quoted field only at the start of a field, "" inside one is a quote, and CR, LF or CRLF
// outside quotes end a record. Nothing when a quote is never closed.
std::optional<std::uint64_t> countRecords(std::string_view text, char delimiter) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    std::uint64_t count = 0;
    bool recordStart = true;
    bool fieldStart = true;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
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
            recordStart = false;
            fieldStart = c == delimiter;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    return count + (recordStart ? 0 : 1);
}

// The output read back: one header and one row per record and model, each with at least the
// header's fields (a row longer than the input header keeps its extra fields at the end), none
// with a stray quote.
void checkOutput(const std::string& output, char delimiter, std::uint64_t rows) {
    std::istringstream in(output);
    table::CsvReader reader(in, delimiter);
    table::Records records;
    try {
        expect(reader.next(records), "the output has a header", output);
        const std::size_t fields = records[0].size();
        records.clear();
        std::uint64_t count = 0;
        while (reader.next(records)) {
            const table::RecordView record = records[0];
            expect(record.size() >= fields, "every output row has the header's fields");
            expect(record.strayQuoteField() == 0, "output fields are quoted properly");
            ++count;
            records.clear();
        }
        expect(count == rows, "one output row per record and model", output);
    } catch (const table::CsvError& error) {
        expect(false, "the output reads back as CSV", error.what());
    }
}

} // namespace

// The first byte chooses the settings: bit 0 decimal comma (and ';' between fields), bit 1
// general precision, bit 2 every model, bit 3 a header naming the four inputs before the
// rest, bit 4 two threads. The rest is the table.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned options = data[0];
    const bool comma = (options & 1U) != 0;
    table::Settings settings;
    if ((options & 4U) != 0) {
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
    try {
        summary =
            table::runTable(input, output, settings, {.threads = (options & 16U) != 0 ? 2U : 1U});
    } catch (const table::CsvError&) {
        expect(!records, "the reader fails only on an unclosed quote", text);
        return 0;
    } catch (const table::Error&) {
        return 0; // no header, a missing column, a stray quote in the header: refused whole
    }
    expect(records.has_value(), "an unclosed quote is reported", text);
    expect(summary.records + 1 == *records, "every non-blank record below the header is read",
           text);
    expect(summary.rows == summary.records * settings.models.size(), "one row per model", text);
    expect(summary.rowsWithError <= summary.rows, "errors counted among the rows");
    checkOutput(output.str(), settings.delimiter, summary.rows);
    return 0;
}
