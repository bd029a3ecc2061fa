#pragma once

// A table converted on the calling thread as its bytes are given, for a caller without
// threads (the browser's worker) that reads the input and hands the output on itself. The
// stages are the pipeline's (header, chunks, rows) one after the other, so the output is
// talvo-batch's byte for byte.

#include "table/rows.h"
#include "table/settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace talvo::table {

class Converter {
public:
    // `inputName` names the input in errors as talvo-batch names its file ("soils.csv, line 4:
    // unterminated quote"); `notice` hears of a model left out. `settings` as settled by
    // settleDelimiter.
    Converter(Settings settings, std::string inputName,
              std::function<void(const std::string&)> notice = {});
    ~Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    Converter(Converter&&) = delete;
    Converter& operator=(Converter&&) = delete;

    // The input's next bytes; they are converted by pull().
    void push(std::string_view bytes);
    // The input has no more bytes.
    void finish();
    // Converts what it can and returns the output made: PieceBytes or a little more, or
    // less when the input pushed so far is used up (until finish(), the last ReadAhead bytes
    // wait for what follows). Empty: push more, or after finish(), the output is whole. The
    // view lasts until the next call. At a damaged record, the output before it is returned
    // first; the next call throws base::Error with the line talvo-batch writes, less its name.
    std::string_view pull();

    const Summary& summary() const noexcept;
    // With --profiles: the profiles' sums as --summary writes them, once the output is whole.
    std::string profileSummary();
    // Input bytes converted so far, for progress.
    std::uint64_t bytesDone() const noexcept;

private:
    struct State;
    bool step();

    std::unique_ptr<State> m_state;
};

} // namespace talvo::table
