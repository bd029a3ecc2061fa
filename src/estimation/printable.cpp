#include "estimation/estimation.h"

#include <cstddef>
#include <cstdint>

namespace talvo::estimation {

namespace {

constexpr std::string_view Hex = "0123456789abcdef";

bool invisible(std::uint32_t c) noexcept {
    return (c >= 0x80 && c <= 0xA0) || c == 0xAD || c == 0x061C || c == 0x180E ||
           (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F) ||
           (c >= 0x205F && c <= 0x206F) || c == 0x3000 || c == 0xFEFF ||
           (c >= 0xFFF9 && c <= 0xFFFB);
}

// The code point of a two- or three-byte UTF-8 sequence at `at` (every invisible character
// takes two or three) and its length; length 0 where there is none.
struct Decoded {
    std::uint32_t code = 0;
    std::size_t length = 0;
};

Decoded decode(std::string_view text, std::size_t at) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const auto continuation = [&](std::size_t i) {
        return at + i < text.size() && (byte(i) & 0xC0U) == 0x80U;
    };
    if ((byte(0) & 0xE0U) == 0xC0U && continuation(1)) {
        return {(byte(0) & 0x1FU) << 6U | (byte(1) & 0x3FU), 2};
    }
    if ((byte(0) & 0xF0U) == 0xE0U && continuation(1) && continuation(2)) {
        return {(byte(0) & 0x0FU) << 12U | (byte(1) & 0x3FU) << 6U | (byte(2) & 0x3FU), 3};
    }
    return {};
}

} // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (text[i] == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += Hex[byte >> 4U];
            out += Hex[byte & 0xFU];
        } else if (const Decoded d = byte >= 0xC0 ? decode(text, i) : Decoded{};
                   d.length > 0 && invisible(d.code)) {
            out += "\\u";
            for (const unsigned shift : {12U, 8U, 4U, 0U}) {
                out += Hex[(d.code >> shift) & 0xFU];
            }
            i += d.length - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace talvo::estimation
