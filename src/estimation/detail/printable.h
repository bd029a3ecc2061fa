#pragma once

#include <string>
#include <string_view>

namespace talvo::estimation {

// `text` as it may be echoed in a one-line message or an error cell. A control character
// (below 0x20, and DEL) becomes \xHH, a tab \t, so that input can neither move the cursor,
// recolour the terminal nor end the line early; a NUL becomes \x00 too, so the result
// survives c_str() and what() whole. A character that shows as nothing or as a plain blank,
// or reorders the text after it (C1 controls, no-break and other spaces, zero-width and
// direction marks, the byte-order mark), becomes \u followed by four lower-case hex digits,
// \u200b, as Python writes it: a cell that looks like "40" but holds more then says so.
// Everything else, the rest of UTF-8 and bytes that are not UTF-8 included, stays.
std::string printable(std::string_view text);

} // namespace talvo::estimation
