#include "form/failure_message.h"

namespace talvo::form {

using estimation::FailureKind;
using estimation::Input;

std::string_view boxWords(Input input) {
    switch (input) {
    case Input::sand:
        return "Sand content";
    case Input::silt:
        return "Silt content";
    case Input::clay:
        return "Clay content";
    case Input::oc:
        return "Organic carbon content";
    }
    return "An input";
}

namespace {

std::string detail(FailureKind kind, std::string_view words,
                   estimation::DecimalSeparator separator) {
    switch (kind) {
    case FailureKind::typeMismatch:
        return std::string(words) + " is not a number. Type a number such as 12" + separator.get() +
               "5.";
    case FailureKind::divisionByZero:
        return std::string(words) + " is zero, and this model divides by it.";
    case FailureKind::overflow:
        return std::string(words) + " is too large a number.";
    case FailureKind::outOfRange:
        return std::string(words) + " is out of the range this model reads.";
    }
    return {};
}

// Failures no single box caused: a result beyond the number range, in practice.
std::string detail(FailureKind kind) {
    switch (kind) {
    case FailureKind::typeMismatch:
        return "A value is not a number.";
    case FailureKind::divisionByZero:
        return "The calculation divides by zero.";
    case FailureKind::overflow:
        return "A result is too large to compute. Check the input values.";
    case FailureKind::outOfRange:
        return "A value is out of the range this model reads.";
    }
    return {};
}

} // namespace

std::string failureDetail(const estimation::FailureReason& reason,
                          estimation::DecimalSeparator separator) {
    return reason.input ? detail(reason.kind, boxWords(*reason.input), separator)
                        : detail(reason.kind);
}

std::string failureMessage(const estimation::Failure& failure,
                           estimation::DecimalSeparator separator) {
    return std::string(estimation::describe(failure.kind())) + '\n' +
           failureDetail(failure.reason(), separator);
}

} // namespace talvo::form
