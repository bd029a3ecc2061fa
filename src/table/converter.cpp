#include "table/converter.h"

#include "base/error.h"
#include "table/chunks.h"
#include "table/csv.h"
#include "table/head.h"
#include "table/horizons.h"

#include <istream>
#include <optional>
#include <sstream>
#include <streambuf>

namespace talvo::table {

namespace {

// The bytes pushed and not yet read, as the chunk reader's input.
class PushedBytes final : public std::streambuf {
public:
    void append(std::string_view bytes) {
        // What the reader has taken goes once it is half the buffer: the buffer holds what is
        // pushed at once and the ReadAhead kept back, and moves no more than was taken.
        auto taken = static_cast<std::size_t>(gptr() - eback());
        if (taken >= m_bytes.size() / 2) {
            m_bytes.erase(0, taken);
            taken = 0;
        }
        m_bytes.append(bytes);
        setg(m_bytes.data(), m_bytes.data() + taken, m_bytes.data() + m_bytes.size());
    }
    std::size_t available() const noexcept { return static_cast<std::size_t>(egptr() - gptr()); }

private:
    std::string m_bytes;
};

} // namespace

struct Converter::State {
    State(Settings runSettings, std::string name, std::function<void(const std::string&)> heard)
        : settings(std::move(runSettings)), inputName(std::move(name)), notice(std::move(heard)),
          reader(input, settings.delimiter) {}

    Settings settings;
    std::string inputName;
    std::function<void(const std::string&)> notice;
    PushedBytes pushed;
    std::istream input{&pushed};
    ChunkReader reader;
    Columns columns;
    std::optional<RowFormatter> formatter; // once the header is read
    Chunk chunk;
    OutputPiece output;
    Summary summary;
    ProfileTable profiles; // with --profiles
    std::uint64_t bytesDone = 0;
    bool finished = false;
    std::optional<std::string> failure;
};

Converter::Converter(Settings settings, std::string inputName,
                     std::function<void(const std::string&)> notice)
    : m_state(
          std::make_unique<State>(std::move(settings), std::move(inputName), std::move(notice))) {}

Converter::~Converter() = default;

void Converter::push(std::string_view bytes) {
    m_state->pushed.append(bytes);
}

void Converter::finish() {
    m_state->finished = true;
}

// One stage: the header, or the next chunk; false when it must wait for more input or the
// input is done.
bool Converter::step() {
    State& state = *m_state;
    if (!state.finished && state.pushed.available() < ReadAhead) {
        return false; // the reader would take the pause for the input's end
    }
    if (!state.formatter) {
        Head head = readHead(state.reader, state.settings, state.inputName, state.notice);
        state.columns = std::move(head.columns);
        state.formatter.emplace(state.settings, state.columns);
        if (state.settings.profiles) {
            state.profiles.start(state.columns.models, state.columns.lineEnd);
        }
        state.output.append(head.line);
        state.summary.formulaCells += head.formulaCells;
        return true;
    }
    if (!state.reader.next(state.chunk)) {
        return false;
    }
    // Pieces go out whole from pull(); a chunk adds at most a chunk's rows beyond one.
    formatChunk(state.chunk, state.settings.delimiter, *state.formatter, state.output,
                state.summary, [](OutputPiece& /*full*/) {});
    if (state.settings.profiles) {
        state.profiles.add(state.formatter->horizons());
        state.formatter->horizons().clear();
    }
    state.bytesDone = state.chunk.inputEnd;
    return true;
}

std::string_view Converter::pull() {
    State& state = *m_state;
    if (state.failure) {
        throw base::Error(*state.failure);
    }
    state.output.clear();
    try {
        while (state.output.size() < PieceBytes && step()) {
        }
    } catch (const CsvError& error) {
        state.failure = aboutInput(state.inputName, error.what());
    } catch (const base::Error& error) {
        state.failure = error.what(); // named where it was made
    }
    if (state.failure && state.output.empty()) {
        throw base::Error(*state.failure);
    }
    return state.output.text();
}

const Summary& Converter::summary() const noexcept {
    return m_state->summary;
}

std::string Converter::profileSummary() {
    if (!m_state->settings.profiles) {
        return {};
    }
    m_state->profiles.gather();
    std::ostringstream out;
    writeProfileSummary(m_state->profiles, m_state->settings, out);
    return std::move(out).str();
}

std::uint64_t Converter::bytesDone() const noexcept {
    return m_state->bytesDone;
}

} // namespace talvo::table
