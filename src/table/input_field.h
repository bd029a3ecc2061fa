#pragma once

#include "estimation/estimation.h"

namespace talvo::table {

// Reads the input in the field of a line that starts at `begin` and ends at the first char
// for which `isDelimiter` holds, or at `end`, into `value`, and returns where the field ends:
// a table finds its fields and converts its numbers in one pass. The byte at `end` is read:
// the line's break, or the null after its string.
template <typename IsDelimiter>
const char* readInputField(const char* begin, const char* end,
                           estimation::DecimalSeparator separator, IsDelimiter isDelimiter,
                           estimation::InputValue& value) {
    const estimation::PlainField plain =
        estimation::plainDecimalField<estimation::FieldEnd::guarded>(begin, end, separator.get(),
                                                                     isDelimiter);
    // Member by member: a whole value put together on the stack and read back in one piece
    // stalled each row on a failed store forward.
    if (plain.decimal) {
        value.number = plain.decimal->value();
        value.failure.reset();
    } else {
        value = estimation::otherInputValue({begin, static_cast<std::size_t>(plain.end - begin)},
                                            separator);
    }
    return plain.end;
}

} // namespace talvo::table
