#pragma once

#include <string>
#include <string_view>

namespace talvo::table {

// `text` as it may be echoed in a one-line message: a control character (below 0x20, and
// DEL) becomes \xHH, a tab \t, so that input can neither move the cursor, recolour the
// terminal nor end the line early; everything else, UTF-8 included, stays. A NUL becomes
// \x00 too, so the result survives c_str() and what() whole.
inline std::string printable(std::string_view text) {
    constexpr std::string_view Hex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace talvo::table
