#pragma once

#include "estimation/failure.h"
#include "estimation/fields.h"

#include <cmath>
#include <optional>

namespace talvo::estimation {

// A double in an equation. Every operation on it checks its result, so an equation reads as
// written and still stops at its first failure: a result that is not finite is an overflow,
// a zero divisor a division by zero. A term read straight from an input box remembers it, so
// that a failure it causes can name the box.
class Term {
public:
    // Implicit, so that constants mix with terms as they do on paper.
    constexpr Term(double value) noexcept : m_value(value) {}
    constexpr Term(double value, Input origin) noexcept : m_value(value), m_origin(origin) {}

    constexpr double value() const noexcept { return m_value; }
    constexpr std::optional<Input> origin() const noexcept { return m_origin; }

    friend Term operator+(Term a, Term b) { return checked(a.m_value + b.m_value); }
    friend Term operator-(Term a, Term b) { return checked(a.m_value - b.m_value); }
    friend Term operator*(Term a, Term b) { return checked(a.m_value * b.m_value); }
    friend Term operator/(Term a, Term b) {
        if (b.m_value == 0.0) {
            throw Failure(FailureKind::divisionByZero, b.m_origin);
        }
        return checked(a.m_value / b.m_value);
    }

private:
    static Term checked(double result) {
        if (!std::isfinite(result)) {
            throw Failure(FailureKind::overflow);
        }
        return Term(result);
    }

    double m_value;
    std::optional<Input> m_origin;
};

} // namespace talvo::estimation
