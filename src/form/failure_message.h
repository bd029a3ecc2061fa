#pragma once

#include "estimation/estimation.h"

#include <string>
#include <string_view>

namespace talvo::form {

// An input box as the window's labels call it: "Clay content".
std::string_view boxWords(estimation::Input input);

// What the user reads when an action fails: the kind on the first line, then what went
// wrong in the window's words and what to do about it, e.g.
// "Type mismatch\nClay content is not a number. Type a number such as 12.5."
std::string failureMessage(const estimation::Failure& failure,
                           estimation::DecimalSeparator separator = {});

// The second line of that message alone: "Clay content is not a number. Type a number such
// as 12.5."
std::string failureDetail(const estimation::FailureReason& reason,
                          estimation::DecimalSeparator separator = {});

} // namespace talvo::form
