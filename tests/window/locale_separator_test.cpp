#include "window/locale_separator.h"

#include <gtest/gtest.h>

#include <utility>

namespace talvo::window {
namespace {

// Arabic (Egypt) writes a separator that is not ASCII: the number texts fall back to '.'.
TEST(LocaleSeparator, DecimalSeparators) {
    for (const auto& [locale, separator] :
         {std::pair{"en_US", '.'}, {"de_DE", ','}, {"ar_EG", '.'}}) {
        EXPECT_EQ(decimalSeparatorOf(QLocale(QString::fromLatin1(locale))).get(), separator)
            << locale;
    }
}

} // namespace
} // namespace talvo::window
