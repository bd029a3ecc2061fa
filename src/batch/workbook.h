#pragma once

// --output results.xlsx: the table that would be written as CSV, as one sheet of a workbook.

#include "cli/descriptor.h"
#include "cli/descriptor_buffer.h"
#include "cli/files.h"
#include "table/settings.h"

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace talvo::batch {

// Whether `path` names a workbook: it ends in ".xlsx", in any case.
bool isWorkbookPath(std::string_view path);

// A field of the table as a sheet holds it: a number where talvo-batch would read one back
// from the CSV, text otherwise. Forms a number would lose ("007", " 5", "+5") stay text.
std::optional<double> workbookNumber(std::string_view field, estimation::DecimalSeparator decimal);

// Where the table goes: the output itself, or, for a workbook, a CSV file of its own that
// finish() turns into the workbook and writes to the output. The CSV file has no name, so an
// interrupted run leaves nothing behind.
class TableOutput {
public:
    // Throws Error when the temporary file cannot be made.
    TableOutput(cli::OutputFile& output, const std::string& path, const table::Settings& settings);

    std::ostream& stream() { return m_workbook ? m_csvStream : m_output.stream(); }
    // Throws Error naming the output and the system's reason when a write has failed.
    void checkWritten() const;
    // Writes the workbook into the output; nothing for CSV. Throws Error when the table does
    // not fit a sheet or a write fails.
    void finish();

private:
    cli::OutputFile& m_output;
    std::string m_name;
    bool m_workbook = false;
    char m_delimiter = ',';
    estimation::DecimalSeparator m_decimal;
    cli::Descriptor m_csv;
    cli::OutputBuffer m_csvBuffer;
    std::ostream m_csvStream;
};

} // namespace talvo::batch
