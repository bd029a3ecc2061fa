#pragma once

#include "estimation/estimation.h"

#include <cmath>
#include <optional>

namespace talvo::estimation::detail {

// A double in an equation, for finding where it fails. Every operation on it checks its
// result, so an equation reads as written and still names its first failure: a result that
// is not finite is an overflow, a zero divisor a division by zero. A term read straight from
// an input remembers it, so that a failure it causes can name the input.
//
// A failure does not stop the evaluation: it is kept in the record the read terms point to,
// where only the first one counts. Throwing instead cost a table of failing rows ten times
// the time of one whose rows succeed.
class Term {
public:
    using Record = std::optional<FailureReason>;

    // Implicit, so that constants mix with terms as they do on paper.
    constexpr Term(double value) noexcept : m_value(value) {}
    constexpr Term(double value, Input origin, Record& record) noexcept
        : m_value(value), m_origin(origin), m_record(&record) {}

    constexpr double value() const noexcept { return m_value; }

    friend Term operator+(Term a, Term b) noexcept { return checked(a.m_value + b.m_value, a, b); }
    friend Term operator-(Term a, Term b) noexcept { return checked(a.m_value - b.m_value, a, b); }
    friend Term operator*(Term a, Term b) noexcept { return checked(a.m_value * b.m_value, a, b); }
    friend Term operator/(Term a, Term b) noexcept {
        if (b.m_value == 0.0) {
            Term out = joined(a.m_value / b.m_value, a, b);
            out.fail({FailureKind::divisionByZero, b.m_origin});
            return out;
        }
        return checked(a.m_value / b.m_value, a, b);
    }

    // Keeps `reason` unless an earlier failure is kept already.
    constexpr void fail(const FailureReason& reason) const noexcept {
        if (m_record != nullptr && !*m_record) {
            *m_record = reason;
        }
    }

private:
    // Every operation has a read term on one side at least: a constant never meets another
    // one as a term, so the result always finds the record.
    static constexpr Term joined(double result, Term a, Term b) noexcept {
        Term out(result);
        out.m_record = a.m_record != nullptr ? a.m_record : b.m_record;
        return out;
    }
    static Term checked(double result, Term a, Term b) noexcept {
        Term out = joined(result, a, b);
        if (!std::isfinite(result)) {
            out.fail({FailureKind::overflow, std::nullopt});
        }
        return out;
    }

    double m_value;
    std::optional<Input> m_origin;
    Record* m_record = nullptr;
};

} // namespace talvo::estimation::detail
