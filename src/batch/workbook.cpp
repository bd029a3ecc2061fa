#include "batch/workbook.h"

#include "base/error.h"
#include "cli/replacing_file.h"
#include "table/csv.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <istream>
#include <unistd.h>
#include <xlsxwriter.h>

namespace talvo::batch {

namespace {

using base::Error;

// What one sheet holds.
constexpr std::uint64_t MaxRows = 1'048'576;
constexpr std::size_t MaxColumns = 16'384;
constexpr std::size_t MaxCellBytes = 32'767;

// An unnamed file in the temporary folder: it goes with the process, however it ends.
cli::Descriptor temporaryFile(const std::string& name) {
    const char* folder = std::getenv("TMPDIR");
    const std::string path = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): open() takes its mode so
    cli::Descriptor file(::open(path.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!file) {
        throw Error(cli::writeFailure(name + " (a temporary file in " + path + ")", errno));
    }
    return file;
}

// Strict UTF-8, as the workbook's XML must be: no overlong forms, surrogates or bytes past
// U+10FFFF.
bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0x80U;
        const unsigned low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
        if (second < low || second > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0U) != 0x80U) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// One record as a row of the sheet. Throws Error for what a sheet cannot hold.
void writeRow(lxw_worksheet* sheet, const table::RecordView& record, lxw_row_t row,
              estimation::DecimalSeparator decimal) {
    const std::string where = "line " + std::to_string(record.line()) + " of the table: ";
    if (record.size() > MaxColumns) {
        throw Error(where + "more than the " + std::to_string(MaxColumns) +
                    " columns a .xlsx sheet holds; write CSV instead");
    }
    for (std::size_t i = 0; i < record.size(); ++i) {
        const std::string_view field = record[i];
        const auto column = static_cast<lxw_col_t>(i);
        if (field.empty()) {
            continue;
        }
        if (const std::optional<double> number = workbookNumber(field, decimal)) {
            worksheet_write_number(sheet, row, column, *number, nullptr);
            continue;
        }
        if (field.size() > MaxCellBytes || !isUtf8(field)) {
            throw Error(where +
                        (field.size() > MaxCellBytes
                             ? "a field longer than the 32767 bytes a .xlsx cell holds"
                             : "a field that is not UTF-8 text, as a .xlsx file must be") +
                        "; write CSV instead");
        }
        // The field may hold a NUL; the library takes C strings.
        const std::string text(field);
        worksheet_write_string(sheet, row, column, text.c_str(), nullptr);
    }
}

// The CSV read back from `csv` into a sheet of a workbook written to `target`.
void convert(int csv, const std::string& target, char delimiter,
             estimation::DecimalSeparator decimal) {
    lxw_workbook_options settings{};
    settings.constant_memory = LXW_TRUE; // rows go out as they come, so memory stays flat
    lxw_workbook* book = workbook_new_opt(target.c_str(), &settings);
    if (book == nullptr) {
        throw Error("cannot start the workbook");
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, "talvo");
    worksheet_freeze_panes(sheet, 1, 0); // the header stays in view
    cli::InputBuffer buffer(csv);
    std::istream input(&buffer);
    table::CsvReader reader(input, delimiter);
    table::Records records;
    std::uint64_t row = 0;
    try {
        for (; reader.next(records); records.clear(), ++row) {
            if (row == MaxRows) {
                throw Error("the table has more than the " + std::to_string(MaxRows) +
                            " rows a .xlsx sheet holds; write CSV instead");
            }
            writeRow(sheet, records[0], static_cast<lxw_row_t>(row), decimal);
        }
    } catch (...) {
        workbook_close(book);
        throw;
    }
    if (const lxw_error error = workbook_close(book); error != LXW_NO_ERROR) {
        throw Error(std::string("cannot write the workbook: ") + lxw_strerror(error));
    }
}

} // namespace

bool isWorkbookPath(std::string_view path) {
    constexpr std::string_view Ending = ".xlsx";
    return path.size() > Ending.size() &&
           std::equal(Ending.begin(), Ending.end(), path.end() - Ending.size(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(b)) == a;
           });
}

std::optional<double> workbookNumber(std::string_view field, estimation::DecimalSeparator decimal) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t start = !field.empty() && field.front() == '-' ? 1 : 0;
    if (field.size() <= start || !(digit(field[start]) || field[start] == decimal.get()) ||
        (field[start] == '0' && field.size() > start + 1 && digit(field[start + 1]))) {
        return std::nullopt;
    }
    const estimation::ParsedNumber parsed = estimation::readNumber(field, decimal);
    if (parsed.failure || !std::isfinite(parsed.value)) {
        return std::nullopt;
    }
    return parsed.value;
}

TableOutput::TableOutput(cli::OutputFile& output, const std::string& path,
                         const table::Settings& settings)
    : m_output(output), m_name(path), m_workbook(isWorkbookPath(path)),
      m_delimiter(settings.delimiter), m_decimal(settings.decimal), m_csvStream(&m_csvBuffer) {
    if (m_workbook) {
        m_csv = temporaryFile(m_name);
        m_csvBuffer.attach(m_csv.get());
    }
}

void TableOutput::checkWritten() const {
    if (!m_workbook) {
        m_output.checkWritten();
    } else if (m_csvBuffer.error() != 0) {
        throw Error(cli::writeFailure(m_name + " (its temporary table)", m_csvBuffer.error()));
    }
}

void TableOutput::finish() {
    if (!m_workbook) {
        return;
    }
    m_csvStream.flush();
    checkWritten();
    if (::lseek(m_csv.get(), 0, SEEK_SET) != 0) {
        throw Error(cli::writeFailure(m_name, errno));
    }
    // The library writes to a name; the unnamed file has one under /proc.
    const cli::Descriptor book = temporaryFile(m_name);
    convert(m_csv.get(), "/proc/self/fd/" + std::to_string(book.get()), m_delimiter, m_decimal);
    if (::lseek(book.get(), 0, SEEK_SET) != 0) {
        throw Error(cli::writeFailure(m_name, errno));
    }
    cli::InputBuffer bytes(book.get());
    m_output.stream() << &bytes;
    m_output.stream().flush();
    if (bytes.error() != 0 || !m_output.stream()) {
        m_output.checkWritten();
        throw Error(cli::writeFailure(m_name, bytes.error()));
    }
}

} // namespace talvo::batch
