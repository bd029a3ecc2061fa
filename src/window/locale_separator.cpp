#include "window/locale_separator.h"

#include <stdexcept>

namespace talvo::window {

estimation::DecimalSeparator decimalSeparatorOf(const QLocale& locale) {
    const QString point = locale.decimalPoint();
    if (point.size() == 1 && point.front().unicode() < 0x80) {
        try {
            return estimation::DecimalSeparator(static_cast<char>(point.front().unicode()));
        } catch (const std::invalid_argument&) {
            // A character that can be part of a number; fall through to '.'.
        }
    }
    return {};
}

} // namespace talvo::window
