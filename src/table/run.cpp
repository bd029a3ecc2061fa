#include "table/run.h"

#include "estimation/catalogue.h"
#include "estimation/actions.h"
#include "estimation/failure.h"
#include "table/csv.h"
#include "table/row_fields.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace talvo::table {

namespace {

using estimation::Input;
using estimation::Result;

// Work is handed out in chunks of records; each worker holds one chunk in and its text out,
// so memory is bounded by the chunk size times the workers, whatever the table's length.
constexpr std::size_t ChunkRecords = 2048;
constexpr std::size_t ChunkTextBytes = std::size_t{256} << 10;
constexpr unsigned MaxThreads = 4;

const std::array<std::string_view, 5> addedColumns{"model", "fc", "pwp", "awc", "error"};

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == y; });
}

std::vector<int> parseModels(std::string_view text) {
    if (text == "all") {
        std::vector<int> all;
        all.reserve(estimation::ModelCatalogue.size());
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            all.push_back(model.position);
        }
        return all;
    }
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        if (text == model.listText || text == std::to_string(model.position)) {
            return {model.position};
        }
    }
    throw Error("unknown model " + quoted(text) +
                ": give a position 0 to 6, a name exactly as --list-models shows it, or all");
}

char parseDelimiter(std::string_view text, char decimal) {
    if (text.empty()) {
        return decimal == ',' ? ';' : ',';
    }
    if (text == "tab") {
        return '\t';
    }
    if (text.size() != 1 || text == "\"" || text == "\r" || text == "\n") {
        throw Error("--delimiter " + quoted(text) +
                    ": give one character other than a quote or a line break, or tab");
    }
    return text.front();
}

// Which column holds each input, from the header; checks that the models find theirs.
struct Columns {
    std::size_t count = 0;
    std::array<std::optional<std::size_t>, 4> input{};
};

Columns findColumns(const RecordView& header, const Settings& settings) {
    // Spreadsheets offer "Unicode text"; without this its columns would just seem missing.
    const std::string_view first = header[0];
    if (first.starts_with("\xFF\xFE") || first.starts_with("\xFE\xFF")) {
        throw Error("the input is UTF-16 text: save it as CSV in UTF-8");
    }
    if (header.strayQuoteField() != 0) {
        throw Error("line " + std::to_string(header.line()) + ": stray quote in header field " +
                    std::to_string(header.strayQuoteField()));
    }
    estimation::InputSet required{};
    for (const int position : settings.models) {
        required |= estimation::ModelCatalogue[static_cast<std::size_t>(position)].readInputs;
    }

    Columns columns;
    columns.count = header.size();
    std::string missing;
    int missingCount = 0;
    for (const Input input : estimation::allInputs) {
        auto& found = columns.input[static_cast<std::size_t>(input)];
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (!sameName(trimBlanks(header[i]), estimation::name(input))) {
                continue;
            }
            // Two columns of one name leave it to chance which the models read.
            if (found && required.contains(input)) {
                throw Error("two columns named " + std::string(estimation::name(input)) +
                            " (columns " + std::to_string(*found + 1) + " and " +
                            std::to_string(i + 1) + ")");
            }
            found = found.value_or(i);
        }
        if (!found && required.contains(input)) {
            missing += missing.empty() ? "" : ", ";
            missing += estimation::name(input);
            ++missingCount;
        }
    }
    if (!missing.empty()) {
        throw Error((missingCount == 1 ? "missing column: " : "missing columns: ") + missing);
    }
    return columns;
}

std::string malformedReason(const RecordView& record, std::size_t headerSize) {
    if (record.size() != headerSize) {
        return "Malformed row: " + std::to_string(record.size()) +
               (record.size() == 1 ? " field" : " fields") + ", header has " +
               std::to_string(headerSize);
    }
    if (record.strayQuoteField() != 0) {
        return "Malformed row: stray quote in field " + std::to_string(record.strayQuoteField());
    }
    return {};
}

// Estimates records and writes their rows: the thread-safe part of a run.
class RowWriter {
public:
    RowWriter(const Settings& settings, const Columns& columns)
        : m_settings(settings), m_columns(columns) {
        for (const int position : settings.models) {
            std::string text;
            appendField(text,
                        estimation::ModelCatalogue[static_cast<std::size_t>(position)].listText,
                        settings.delimiter);
            m_modelTexts.push_back(std::move(text));
        }
    }

    void write(const Records& records, std::string& out, Summary& summary) {
        const char delimiter = m_settings.delimiter;
        for (std::size_t r = 0; r < records.size(); ++r) {
            const RecordView record = records[r];
            const std::string malformed = malformedReason(record, m_columns.count);
            std::array<std::string_view, 4> inputs{};
            if (malformed.empty()) {
                for (std::size_t i = 0; i < inputs.size(); ++i) {
                    if (m_columns.input[i]) {
                        inputs[i] = record[*m_columns.input[i]];
                    }
                }
            }
            ++summary.records;
            for (std::size_t m = 0; m < m_settings.models.size(); ++m) {
                // A short row is padded and a long row's extra fields go last, so that every
                // column keeps its place and no text is lost.
                for (std::size_t i = 0; i < m_columns.count; ++i) {
                    if (i < record.size()) {
                        appendField(out, record[i], delimiter);
                    }
                    out += delimiter;
                }
                out += m_modelTexts[m];
                const std::string_view error =
                    malformed.empty() ? estimate(inputs, m_settings.models[m]) : malformed;
                if (error.empty()) {
                    for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
                        out += delimiter;
                        appendField(out,
                                    m_settings.precision == Precision::general
                                        ? m_fields.firstWritten(result)
                                        : m_fields.shown(result),
                                    delimiter);
                    }
                    out += delimiter;
                } else {
                    out += delimiter;
                    out += delimiter;
                    out += delimiter;
                    out += delimiter;
                    appendField(out, error, delimiter);
                    ++summary.rowsWithError;
                }
                for (std::size_t i = m_columns.count; i < record.size(); ++i) {
                    out += delimiter;
                    appendField(out, record[i], delimiter);
                }
                out += '\n';
                ++summary.rows;
            }
        }
    }

private:
    // One press over the row; empty on success, else the reason.
    std::string_view estimate(const std::array<std::string_view, 4>& inputs, int model) {
        m_fields.reset(inputs, model);
        try {
            estimation::EstimateAction(m_fields, m_settings.decimal);
        } catch (const estimation::Failure& failure) {
            m_failure = failure.what();
            return m_failure;
        }
        return {};
    }

    const Settings& m_settings;
    const Columns& m_columns;
    std::vector<std::string> m_modelTexts;
    RowFields m_fields;
    std::string m_failure;
};

// Workers take turns reading a chunk, estimate their chunks at the same time, and take turns
// again to write them in input order.
class Pipeline {
public:
    Pipeline(CsvReader& reader, std::ostream& output, const Settings& settings,
             const Columns& columns, const RunOptions& options)
        : m_reader(reader), m_output(output), m_settings(settings), m_columns(columns),
          m_options(options) {}

    Summary run(unsigned threads) {
        std::vector<std::thread> helpers;
        try {
            for (unsigned i = 1; i < threads; ++i) {
                helpers.emplace_back([this] { work(); });
            }
        } catch (const std::system_error&) {
            // Fewer threads only make the run slower.
        }
        work();
        for (std::thread& helper : helpers) {
            helper.join();
        }
        if (m_failure) {
            std::rethrow_exception(m_failure);
        }
        return m_summary;
    }

private:
    void work() {
        RowWriter writer(m_settings, m_columns);
        Records records;
        std::string text;
        Summary summary;
        for (;;) {
            std::uint64_t sequence = 0;
            std::uint64_t bytesRead = 0;
            std::exception_ptr failure;
            {
                const std::lock_guard lock(m_readMutex);
                if (m_inputDone || m_stop) {
                    break;
                }
                sequence = m_nextSequence++;
                records.clear();
                try {
                    while (records.size() < ChunkRecords && records.textBytes() < ChunkTextBytes) {
                        if (!m_reader.next(records)) {
                            m_inputDone = true;
                            break;
                        }
                    }
                } catch (...) {
                    failure = std::current_exception();
                    m_inputDone = true;
                }
                bytesRead = m_reader.bytesRead();
            }

            text.clear();
            try {
                writer.write(records, text, summary);
            } catch (...) {
                failure = std::current_exception();
                text.clear(); // half a chunk would be a wrong table
            }

            std::unique_lock lock(m_writeMutex);
            m_turn.wait(lock, [&] { return m_nextToWrite == sequence || m_stop; });
            if (m_stop) {
                break;
            }
            // Rows before a damaged record are written before the run stops.
            m_output.write(text.data(), static_cast<std::streamsize>(text.size()));
            if (!m_output) {
                failure = std::make_exception_ptr(Error("cannot write the output"));
            }
            if (failure) {
                m_failure = failure;
                m_stop = true;
            } else if (m_options.progress) {
                m_options.progress(bytesRead);
            }
            ++m_nextToWrite;
            m_turn.notify_all();
        }
        const std::lock_guard lock(m_writeMutex);
        m_summary.records += summary.records;
        m_summary.rows += summary.rows;
        m_summary.rowsWithError += summary.rowsWithError;
    }

    CsvReader& m_reader;
    std::ostream& m_output;
    const Settings& m_settings;
    const Columns& m_columns;
    const RunOptions& m_options;

    std::mutex m_readMutex;
    std::uint64_t m_nextSequence = 0;
    bool m_inputDone = false;

    std::mutex m_writeMutex;
    std::condition_variable m_turn;
    std::uint64_t m_nextToWrite = 0;
    std::atomic<bool> m_stop = false;
    std::exception_ptr m_failure;
    Summary m_summary;
};

} // namespace

Settings makeSettings(std::string_view model, std::string_view precision, std::string_view decimal,
                      std::string_view delimiter) {
    Settings settings;
    settings.models = parseModels(model);

    if (precision == "fixed") {
        settings.precision = Precision::fixed;
    } else if (precision == "general") {
        settings.precision = Precision::general;
    } else {
        throw Error("--precision " + quoted(precision) + ": give fixed or general");
    }

    if (decimal.size() != 1) {
        throw Error("--decimal " + quoted(decimal) + ": give one character, such as . or ,");
    }
    try {
        settings.decimal = estimation::DecimalSeparator(decimal.front());
    } catch (const std::invalid_argument&) {
        throw Error("--decimal " + quoted(decimal) + " cannot separate decimals");
    }

    settings.delimiter = parseDelimiter(delimiter, settings.decimal.get());
    // "1,5,2" could be one number and a field or two fields: refuse to guess.
    if (settings.delimiter == settings.decimal.get()) {
        throw Error("the decimal separator and the delimiter are both " + quoted(decimal) +
                    ": choose another delimiter");
    }
    return settings;
}

std::string modelListing() {
    struct Line {
        std::string position, name, reads, fcUnit, pwpUnit;
    };
    std::vector<Line> lines{{"position", "model", "reads", "FC unit", "PWP unit"}};
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        std::string reads;
        for (const Input input : estimation::allInputs) {
            if (model.readInputs.contains(input)) {
                reads += reads.empty() ? "" : ", ";
                reads += estimation::name(input);
            }
        }
        lines.push_back({std::to_string(model.position), std::string(model.listText), reads,
                         std::string(model.fcUnit), std::string(model.pwpUnit)});
    }
    std::array<std::size_t, 4> widths{};
    for (const Line& line : lines) {
        const std::array<std::size_t, 4> sizes{line.position.size(), line.name.size(),
                                               line.reads.size(), line.fcUnit.size()};
        for (std::size_t i = 0; i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], sizes[i]);
        }
    }
    const auto padded = [](const std::string& text, std::size_t width) {
        return text + std::string(width - text.size() + 2, ' ');
    };
    std::string out;
    for (const Line& line : lines) {
        out += padded(line.position, widths[0]) + padded(line.name, widths[1]) +
               padded(line.reads, widths[2]) + padded(line.fcUnit, widths[3]) + line.pwpUnit + '\n';
    }
    return out;
}

Summary runTable(std::istream& input, std::ostream& output, const Settings& settings,
                 const RunOptions& options) {
    CsvReader reader(input, settings.delimiter);
    Records header;
    if (!reader.next(header)) {
        throw Error("the input is empty: the first row must name the columns");
    }
    const Columns columns = findColumns(header[0], settings);

    std::string text;
    if (reader.hadByteOrderMark()) {
        text += "\xEF\xBB\xBF"; // spreadsheets need it to read the output as UTF-8 too
    }
    for (std::size_t i = 0; i < header[0].size(); ++i) {
        appendField(text, header[0][i], settings.delimiter);
        text += settings.delimiter;
    }
    for (const std::string_view column : addedColumns) {
        text += column;
        text += column == addedColumns.back() ? '\n' : settings.delimiter;
    }
    output.write(text.data(), static_cast<std::streamsize>(text.size()));

    const unsigned threads = options.threads != 0
                                 ? options.threads
                                 : std::clamp(std::thread::hardware_concurrency(), 1U, MaxThreads);
    Pipeline pipeline(reader, output, settings, columns, options);
    Summary summary = pipeline.run(threads);
    output.flush();
    if (!output) {
        throw Error("cannot write the output");
    }
    return summary;
}

} // namespace talvo::table
