// The table tab's door into the table library: the worker pushes the file's bytes into a
// TableRun and pulls the output, which is talvo-batch's byte for byte; tablePreview parses the
// first records for the preview and the column menus; inputColumns finds the columns the run
// will read, by talvo-batch's rule, and contentUnit tells what unit their sand, silt and clay
// look like.
//
// Nothing throws into JavaScript, where a C++ exception would arrive as a bare number: every
// failure becomes the one line talvo-batch writes, less its name.

#include "base/error.h"
#include "estimation/estimation.h"
#include "table/converter.h"
#include "table/csv.h"
#include "table/formulas.h"
#include "table/input_names.h"
#include "table/options.h"
#include "table/rows.h"
#include "web/failure.h"
#include "web/options.h"
#include "web/output_sample.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <emscripten/bind.h>
#include <emscripten/val.h>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace talvo::web {

namespace {

using emscripten::val;

// Bytes of wasm memory as a Uint8Array, valid until the memory grows: copied at once.
val bytesView(std::string_view bytes) {
    return val(emscripten::typed_memory_view(bytes.size(),
                                             reinterpret_cast<const unsigned char*>(bytes.data())));
}

} // namespace

// One conversion of a table. start() first; then, for each piece of the file, fill
// input(size) and push() it, and pull() until it gives nothing; then finish() and pull() to
// the end. After a failure error() holds its line and pull() gives nothing.
//
// The file's bytes go straight into the module's memory and the output is read where the
// module wrote it: a conversion through embind's strings copied every byte in a JavaScript
// loop.
class TableRun {
public:
    // Whether the options are usable; else error() says why.
    bool start(const val& options, const std::string& inputName) {
        return guarded([&] {
            table::Settings settings = settingsFrom(options);
            m_sample.emplace(settings.delimiter);
            m_converter.emplace(std::move(settings), inputName,
                                [this](const std::string& text) { m_notices.push_back(text); });
        });
    }
    // Room for the next `size` bytes of the file, valid until the next call into the module:
    // filled at once.
    val input(std::size_t size) {
        m_input.resize(size);
        return bytesView(m_input);
    }
    // Hands the bytes in input() on.
    void push() {
        guarded([&] { converter().push(m_input); });
    }
    void finish() {
        guarded([&] { converter().finish(); });
    }
    // The next piece of output, empty when more input is needed, at the end, or after a failure.
    val pull() {
        std::string_view out;
        guarded([&] {
            out = converter().pull();
            m_sample->add(out);
        });
        return bytesView(out);
    }

    const std::string& error() const { return m_error; }
    // Models left out, one a line, taken once.
    std::string takeNotices() {
        std::string text;
        for (const std::string& notice : m_notices) {
            text += notice + '\n';
        }
        m_notices.clear();
        return text;
    }
    double bytesDone() const {
        return m_converter ? static_cast<double>(m_converter->bytesDone()) : 0;
    }
    double records() const { return count(&table::Summary::records); }
    double rows() const { return count(&table::Summary::rows); }
    double rowsWithError() const { return count(&table::Summary::rowsWithError); }
    // "4 of 5 rows could not be estimated; the error column says why", or empty.
    std::string failedRowsNote() const {
        return m_converter ? table::failedRowsNote(m_converter->summary()) : std::string();
    }
    // The output's first rows and its rows with an error, as OutputSample::rows gives them.
    val sample() const {
        return m_sample && m_converter ? m_sample->rows(m_converter->summary().rowsWithError)
                                       : val::null();
    }
    // With a horizon table, the profiles' sums as talvo-batch's --summary writes them.
    val profileSummary() {
        m_summary = m_converter ? m_converter->profileSummary() : std::string();
        return bytesView(m_summary);
    }
    // What talvo-batch says of contents that look like fractions of 1 or g/kg, naming the
    // page's choice that reads them; or empty.
    std::string unitNote() const {
        return m_converter
                   ? table::misreadUnitNote(
                         m_converter->summary(),
                         {.fractions = "choose sand, silt and clay in \"fractions of 1\" to read "
                                       "them as percent (0.4 as 40)",
                          .gramsPerKilogram =
                              "choose sand, silt and clay in \"g/kg\" to read them as percent"})
                   : std::string();
    }
    // What talvo-batch says of organic carbon above a model's calibration, naming the page's
    // choice; or empty.
    std::string carbonNote() const {
        std::string note;
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            const std::string line =
                m_converter
                    ? m_converter->summary().units.carbonNote(
                          model, "rows", "if yours is in g/kg, choose organic carbon in \"g/kg\"")
                    : std::string();
            note += note.empty() || line.empty() ? line : "\n" + line;
        }
        return note;
    }
    // Once a run, where the table's own cells hold some that a spreadsheet would run: the
    // download keeps them as they are.
    std::string formulaNote() const {
        return m_converter
                   ? table::formulaCellsNote(m_converter->summary().formulaCells,
                                             "the download keeps them as they are: open it in a "
                                             "spreadsheet only if you trust the table")
                   : std::string();
    }
    // "1 of 5 rows flagged result", as talvo-batch reports it first, or empty.
    std::string flaggedRowsNote() const {
        return m_converter ? table::flaggedRowsNote(m_converter->summary()) : std::string();
    }

private:
    template <typename Work> bool guarded(Work work) {
        if (!m_error.empty()) {
            return false;
        }
        try {
            work();
            return true;
        } catch (...) {
            m_error = failureText(std::current_exception());
            return false;
        }
    }
    table::Converter& converter() {
        if (!m_converter) {
            throw base::Error("the run has not started");
        }
        return *m_converter;
    }
    double count(std::uint64_t table::Summary::*field) const {
        return m_converter ? static_cast<double>(m_converter->summary().*field) : 0;
    }

    std::optional<OutputSample> m_sample;
    std::optional<table::Converter> m_converter;
    std::string m_input;
    std::vector<std::string> m_notices;
    std::string m_error;
    std::string m_summary; // what profileSummary() gave, until the next call
};

// The header's fields and the records after it, up to `records` of them, from the start of
// a table: an array of arrays of texts. A record cut off at the end of `text` is left out;
// a damaged one ends the preview.
val tablePreview(const std::string& text, const std::string& delimiter, int records) {
    val rows = val::array();
    try {
        const char separator = delimiter.empty() ? ',' : table::parseDelimiter(delimiter);
        const std::size_t lastBreak = text.find_last_of("\r\n");
        const std::string_view whole(text.data(),
                                     lastBreak == std::string::npos ? text.size() : lastBreak + 1);
        table::MemoryInput input(whole);
        table::CsvReader reader(input, separator);
        table::Records read;
        for (int i = 0; i <= records && reader.next(read); ++i) {
            val fields = val::array();
            for (std::size_t f = 0; f < read[0].size(); ++f) {
                fields.call<void>("push", std::string(read[0][f]));
            }
            rows.call<void>("push", fields);
            read.clear();
        }
    } catch (const std::exception&) {
        // What was read is shown; the run reports the damage with its line.
    }
    return rows;
}

// What unit the soils' sand, silt and clay texts look like, as talvo-batch warns of it:
// "fractions", "g/kg", or "" for percent; read with `decimal` ("." or ","). Arrays of the same
// length.
std::string contentUnit(const val& sand, const val& silt, const val& clay,
                        const std::string& decimal) {
    const estimation::DecimalSeparator separator(decimal == "," ? ',' : '.');
    const auto number = [&](const val& texts, std::size_t i) {
        const estimation::ParsedNumber parsed =
            estimation::readNumber(texts[i].as<std::string>(), separator);
        return parsed.failure ? std::numeric_limits<double>::quiet_NaN() : parsed.value;
    };
    estimation::ContentUnitTally tally;
    const auto soils = sand["length"].as<std::size_t>();
    for (std::size_t i = 0; i < soils; ++i) {
        tally.add(number(sand, i), number(silt, i), number(clay, i));
    }
    const std::optional<estimation::ContentUnit> unit = tally.misread();
    if (!unit) {
        return "";
    }
    return *unit == estimation::ContentUnit::fraction ? "fractions" : "g/kg";
}

// For each input of the header's fields (an array of texts), the index of the column a run
// reads where no other is chosen: {sand: 1, silt: -1, ...}, -1 where none or two could be it.
val inputColumns(const val& header) {
    const auto fields = emscripten::vecFromJSArray<std::string>(header);
    const std::vector<std::string_view> names(fields.begin(), fields.end());
    const table::InputColumns found = table::findInputColumns(names, {});
    val columns = val::object();
    for (const estimation::Input input : estimation::allInputs) {
        const table::InputColumn& column = found[static_cast<std::size_t>(input)];
        columns.set(std::string(estimation::name(input)),
                    column.column && !column.ambiguous() ? static_cast<int>(*column.column) : -1);
    }
    return columns;
}

} // namespace talvo::web

EMSCRIPTEN_BINDINGS(talvo_table) {
    using talvo::web::TableRun;
    emscripten::class_<TableRun>("TableRun")
        .constructor<>()
        .function("start", &TableRun::start)
        .function("input", &TableRun::input)
        .function("push", &TableRun::push)
        .function("finish", &TableRun::finish)
        .function("pull", &TableRun::pull)
        .function("error", &TableRun::error)
        .function("takeNotices", &TableRun::takeNotices)
        .function("bytesDone", &TableRun::bytesDone)
        .function("records", &TableRun::records)
        .function("rows", &TableRun::rows)
        .function("rowsWithError", &TableRun::rowsWithError)
        .function("failedRowsNote", &TableRun::failedRowsNote)
        .function("unitNote", &TableRun::unitNote)
        .function("carbonNote", &TableRun::carbonNote)
        .function("formulaNote", &TableRun::formulaNote)
        .function("flaggedRowsNote", &TableRun::flaggedRowsNote)
        .function("profileSummary", &TableRun::profileSummary)
        .function("sample", &TableRun::sample);
    emscripten::function("tablePreview", &talvo::web::tablePreview);
    emscripten::function("contentUnit", &talvo::web::contentUnit);
    emscripten::function("inputColumns", &talvo::web::inputColumns);
}
