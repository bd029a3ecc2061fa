#pragma once

// The engine's one door. A soil, or columns of soils, go in with a model and a precision;
// out come the results (as numbers, and as texts on demand), their unit, the flags of the
// soil and the model, the soil's texture class, and why the model could not estimate. Every
// front end (the desktop, tables, maps, arrays, the browser) goes through here, so each shows
// the same digits; the engine picks its quick paths itself. Front ends include this header
// alone, and it includes no header of estimation/detail: it declares the model catalogue and
// each model's sheet, number texts, flags, texture classes and the water of horizons and
// profiles. What lies behind them is the engine's own, in namespace detail.

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::estimation {

// A number's place where there is none: a cell that holds no number, a result not
// estimated, a score that cannot be reckoned.
inline constexpr double NoNumber = std::numeric_limits<double>::quiet_NaN();

// ---- Inputs and results

// The four inputs of a soil, in the order every front end lists them.
enum class Input { sand, silt, clay, oc };
inline constexpr std::array allInputs{Input::sand, Input::silt, Input::clay, Input::oc};

// Organic matter per unit of organic carbon: the conventional van Bemmelen factor, by which
// a table's organic matter is read as carbon (OC = OM / 1.724) in the unit of its numbers.
inline constexpr double OrganicMatterPerCarbon = 1.724;

// The three results of an estimate, in the order they are worked out.
enum class Result { fc, pwp, awc };

// The short name of an input or result ("sand", "fc", ...): columns, options and messages use it.
std::string_view name(Input input);
std::string_view name(Result result);

// A subset of the four inputs.
class InputSet {
public:
    constexpr InputSet(std::initializer_list<Input> inputs) noexcept {
        for (Input input : inputs) {
            m_bits |= bit(input);
        }
    }
    constexpr bool contains(Input input) const noexcept { return (m_bits & bit(input)) != 0; }
    constexpr InputSet& operator|=(InputSet other) noexcept {
        m_bits |= other.m_bits;
        return *this;
    }
    friend constexpr bool operator==(InputSet, InputSet) = default;

private:
    static constexpr unsigned bit(Input input) noexcept {
        return 1U << static_cast<unsigned>(input);
    }
    unsigned m_bits = 0;
};

// ---- Failures

// outOfRange: a number the soil cannot have where a conversion or an equation needs it (sand
// that the USDA scale would leave below 0). Last, as stored failure codes are 1 + the kind.
enum class FailureKind { typeMismatch, divisionByZero, overflow, outOfRange };

// "Type mismatch", "Division by zero", "Overflow", "Out of range".
std::string_view describe(FailureKind kind);

// Why an estimate stopped: the kind, and the input whose text caused it where one did.
struct FailureReason {
    FailureKind kind;
    std::optional<Input> input;

    friend bool operator==(const FailureReason&, const FailureReason&) = default;
};

// "Type mismatch: clay", or the kind alone when no input caused it; static text.
std::string_view failureText(const FailureReason& reason);

// The reason as a table's error column gives it, with `text`, the cell of the input that
// caused it: `Type mismatch: sand "40%"` names what is no number, an empty, blank or NA cell
// reads "Missing: oc", and a division by zero says what the model divides by. Without an
// input, as failureText(reason).
std::string failureText(const FailureReason& reason, std::string_view text);
// The same, appended to `out`: a table whose rows fail writes one for each, into one string.
void appendFailureText(std::string& out, const FailureReason& reason, std::string_view text);

// An empty, blank or NA cell: what tables write for a value nobody measured.
bool missingText(std::string_view text) noexcept;

// What a table's error column says of the cell `text` of the column `name` that holds no
// number: `Type mismatch: bd "abc"`, or "Missing: top" where missingText(text).
std::string typeMismatchText(std::string_view name, std::string_view text);
// Of a number a soil cannot have: `Out of range: bd 0`, the cell as written, blanks trimmed.
std::string outOfRangeText(std::string_view name, std::string_view text);

// Ends an action at the point where it occurs. Carries the input whose text caused it,
// where one did, so that the caller can name it.
class Failure : public std::runtime_error {
public:
    explicit Failure(FailureKind kind, std::optional<Input> input = std::nullopt);

    FailureKind kind() const noexcept { return m_kind; }
    std::optional<Input> input() const noexcept { return m_input; }
    FailureReason reason() const noexcept { return {m_kind, m_input}; }

private:
    FailureKind m_kind;
    std::optional<Input> m_input;
};

// `text` as it may be echoed in a one-line message or an error cell. A control character
// (below 0x20, and DEL) becomes \xHH, a tab \t, so that input can neither move the cursor,
// recolour the terminal nor end the line early; a NUL becomes \x00 too, so the result
// survives c_str() and what() whole. A character that shows as nothing or as a plain blank,
// or reorders the text after it (C1 controls, no-break and other spaces, zero-width and
// direction marks, the byte-order mark), becomes \u followed by four lower-case hex digits,
// \u200b, as Python writes it: a cell that looks like "40" but holds more then says so.
// Everything else, the rest of UTF-8 and bytes that are not UTF-8 included, stays.
std::string printable(std::string_view text);

// ---- Numbers as texts

// The one convention for numbers as texts, shared by reading the inputs, writing the
// results and reading them back, so that a written result always reads back to itself.
// The calculator shows results to 15 significant digits before it rounds them to two
// decimals, and every decimal of 15 digits survives a double.
inline constexpr int SignificantDigits = 15;

// 10^22 is the largest power of ten a double holds exactly.
inline constexpr int MaxExactPowerOfTen = 22;

// The user's decimal separator. Any single character that cannot be part of a number
// otherwise: not a digit, sign, exponent letter or blank.
class DecimalSeparator {
public:
    constexpr DecimalSeparator() = default;
    // Throws std::invalid_argument for a character that cannot serve as a separator.
    explicit DecimalSeparator(char c);

    constexpr char get() const noexcept { return m_char; }

private:
    char m_char = '.';
};

// A number read from a text: its value, or why the text holds none.
struct ParsedNumber {
    double value = 0.0;
    std::optional<FailureKind> failure;
};

// Blanks (spaces, tabs) around the number are ignored; then an optional sign, digits with
// at most one separator (at least one digit), and an optional exponent (e or E, optional
// sign, digits). The value is the correctly rounded double. Anything else is a type
// mismatch; a number beyond the double range is an overflow.
ParsedNumber readNumber(std::string_view text, DecimalSeparator separator = {});

// At most 15 significant digits, correctly rounded, no trailing zeros; exponent form below
// 1e-4 and from 1e15 on ("1.5e-05", "1e+15"). Never "-0". The value must be finite.
std::string generalText(double value, DecimalSeparator separator = {});

// Two decimals, rounded half away from zero on the 15-digit decimal form of the number
// ("39.915" -> "39.92"); at least one digit before the separator, no exponent, no grouping,
// a minus only when the rounded value is not zero. A text that is not a number comes back
// unchanged.
std::string fixedText(std::string_view text, DecimalSeparator separator = {});

// The powers of ten a double holds exactly: the one table behind every exact decimal step
// (reading texts, rounding to 15 digits and to hundredths).
inline constexpr std::array<double, MaxExactPowerOfTen + 1> powersOfTen{
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// 10^exponent, exact. Precondition: 0 <= exponent <= MaxExactPowerOfTen.
double exactPowerOfTen(int exponent) noexcept;

// The common form of a table's cell, "40" or "12.5": digits with one separator at the most
// and 15 digits at the most, nothing else. Its digits make an exact integer, and the powers
// of ten it is divided by are exact, so one division gives the correctly rounded double.
// Inline, as a table reads several of them a row.
struct PlainDecimal {
    static constexpr auto MaxDigits = static_cast<std::size_t>(SignificantDigits);

    std::uint64_t digits = 0; // all of them, as one integer
    std::size_t scale = 0;    // how many follow the separator

    double value() const noexcept;
};

inline double PlainDecimal::value() const noexcept {
    // Below 10^16, so signed: one instruction, where unsigned takes a dozen.
    const auto m = static_cast<double>(static_cast<std::int64_t>(digits));
    return scale == 0 ? m : m / powersOfTen[scale];
}

// A field read up to its end: the plain decimal it holds, if it is one.
struct PlainField {
    std::optional<PlainDecimal> decimal; // nothing when the field is any other form
    const char* end = nullptr;           // the delimiter that ends the field, or the text's end
};

// What lies at a field's `end`. `guarded`: a byte that may be read and is neither a digit nor
// the separator, such as a line's break or the null after a std::string's last char; the
// loops over digits then stop there without watching for `end`, a third of their work.
enum class FieldEnd { unguarded, guarded };

// Reads the field that starts at `begin` and ends at the first char for which
// `isDelimiter` holds, or at `end`, in one pass: a table finds its fields and converts its
// numbers together. The field is plain when it is digits with one separator at the most and
// 15 digits at the most, nothing else: not blanks, a sign, an exponent, more digits, the
// separator alone or nothing at all. A delimiter that is also the separator ends the field.
// Always inline: a row's loop over its fields calls it for most of them.
template <FieldEnd Guard = FieldEnd::unguarded, typename IsDelimiter>
[[gnu::always_inline]] inline PlainField plainDecimalField(const char* begin, const char* end,
                                                           char separator,
                                                           IsDelimiter isDelimiter) noexcept {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const auto before = [end](const char* c) { return Guard == FieldEnd::guarded || c != end; };
    assert(Guard == FieldEnd::unguarded || (!isDigit(*end) && *end != separator));
    PlainDecimal plain;
    const char* c = begin;
    // Digits past the 16th wrap the integer round; such a field is not plain anyway.
    for (; before(c) && isDigit(*c); ++c) {
        plain.digits = plain.digits * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    const char* fraction = nullptr;
    if (before(c) && *c == separator && !isDelimiter(*c)) {
        fraction = ++c;
        for (; before(c) && isDigit(*c); ++c) {
            plain.digits = plain.digits * 10 + static_cast<std::uint64_t>(*c - '0');
        }
    }
    if (c == end || isDelimiter(*c)) {
        const auto size = static_cast<std::size_t>(c - begin);
        const std::size_t digits = fraction == nullptr ? size : size - 1;
        if (digits != 0 && digits <= PlainDecimal::MaxDigits) {
            plain.scale = fraction == nullptr ? 0 : static_cast<std::size_t>(c - fraction);
            return {plain, c};
        }
        return {std::nullopt, c};
    }
    while (c != end && !isDelimiter(*c)) {
        ++c;
    }
    return {std::nullopt, c};
}

// The whole text as a plain decimal, or nothing when it is any other form.
inline std::optional<PlainDecimal> plainDecimal(std::string_view text, char separator) noexcept {
    return plainDecimalField(text.data(), text.data() + text.size(), separator,
                             [](char) { return false; })
        .decimal;
}

// The texts of sand, silt, clay and OC, in that order, as typed.
using InputTexts = std::array<std::string_view, 4>;

// One input converted to a number, or why it is none. A failed input's number is NaN, so
// that any equation reading it gives no finite result.
struct InputValue {
    double number = std::numeric_limits<double>::quiet_NaN();
    std::optional<FailureKind> failure = FailureKind::typeMismatch;
};

// Sand, silt, clay and OC, each converted once.
using InputValues = std::array<InputValue, 4>;

inline const InputValue& at(const InputValues& values, Input input) {
    return values[static_cast<std::size_t>(input)];
}

// One input's text converted. The plain form is read inline: a table converts several a row.
InputValue otherInputValue(std::string_view text, DecimalSeparator separator);
inline InputValue inputValue(std::string_view text, DecimalSeparator separator) {
    if (const std::optional<PlainDecimal> plain = plainDecimal(text, separator.get())) {
        return {plain->value(), std::nullopt};
    }
    return otherInputValue(text, separator);
}

// Converts the texts of the inputs in `which`; the others are left as type mismatches.
InputValues convertInputs(const InputTexts& texts, InputSet which, DecimalSeparator separator);

// Inputs that arrive as numbers: NaN stands for a cell holding no number (a type mismatch),
// an infinity for one beyond the double range (an overflow).
InputValues inputNumbers(double sand, double silt, double clay, double oc);

// A result rounded to 15 significant digits, the form in which the calculator shows it. Worked
// out once per result and used for the general text, for the number read back from that text
// and for the two-decimal text, so that none of them prints and parses again.
struct DecimalForm {
    std::uint64_t digits = 0; // at most 15 digits, no trailing zeros; 0 only for zero
    int exponent = 0;         // the value is digits x 10^exponent
    bool negative = false;    // never set for zero

    friend bool operator==(const DecimalForm&, const DecimalForm&) = default;
};

// Longest general text: "-1.23456789012346e-308".
inline constexpr std::size_t GeneralTextCapacity = 24;
// Longest two-decimal text: a sign, the 309 digits of the largest double, separator, 2 digits.
inline constexpr std::size_t ResultTextCapacity = 1 + 309 + 1 + 2;

// The general text of `value` rounded to 15 digits ("50.8534", "1.5e-05", "1e+15"), or its
// two-decimal text ("50.85"), written at `out`, which must hold GeneralTextCapacity or
// ResultTextCapacity chars; returns the end. Precondition: `value` is finite.
char* writeGeneral(char* out, double value, char separator);
char* writeFixed(char* out, double value, char separator);
// A signed count of hundredths as its two-decimal text ("-12.34", "0.05"), never "-0.00";
// `out` must hold ResultTextCapacity chars.
char* writeHundredths(char* out, std::int64_t hundredths, char separator) noexcept;

// A float32 stands for the shortest text that reads back to it ("52.3" for the float nearest
// 52.3, not 52.2999992370605), as a table cell holding "52.3" does. Every front end that takes
// float32 numbers widens them through that text: the double that text reads to. NaN and the
// infinities stay as they are.
double floatAsText(float single) noexcept;

// The double read from the shortest text of `value` with its decimal point moved `places` to
// the right (left when negative): 0.07 at 2 is 7 exactly, where 0.07 * 100 is not. For
// contents given as fractions of 1 or in g/kg. NaN and the infinities stay as they are.
double shiftedDecimal(double value, int places) noexcept;

// floatAsText, remembered for recent floats: soil rasters and arrays hold few distinct values,
// and finding a float's text takes some 150 ns, ten times a look-up here.
class RecentFloatTexts {
public:
    double of(float single);

private:
    static constexpr unsigned IndexBits = 12; // 64 KiB
    struct Entry {
        std::uint32_t bits = 0;
        bool filled = false;
        double value = 0;
    };
    std::vector<Entry> m_entries = std::vector<Entry>(std::size_t{1} << IndexBits);
};

// ---- Models

namespace detail {
class DoubleOperands;
class CheckedOperands;
class LaneOperands;
class Term;
struct Lanes;
} // namespace detail

// An equation in every form, made from one generic lambda so that they cannot differ; the
// forms are the engine's own (catalogue.cpp makes them).
struct Equation {
    template <typename Lambda>
    // cppcheck-suppress noExplicitConstructor
    constexpr Equation(Lambda lambda) noexcept; // NOLINT(google-explicit-constructor)

    double (*doubles)(const detail::DoubleOperands&) noexcept;
    detail::Term (*checked)(const detail::CheckedOperands&);
    detail::Lanes (*lanes)(const detail::LaneOperands&);
};

// One row of the catalogue.
struct PtfModel {
    int position;              // ModelIndex, the model's only identity
    std::string_view listText; // its name, as every front end lists it
    InputSet readInputs;       // inputs its equations convert
    std::string_view fcUnit;   // FC's unit as shown with the model: "(% w/w)" or "(% v/v)"
    std::string_view pwpUnit;  // PWP's, likewise
    std::string_view unit;     // of FC and PWP for tables: "% w/w" or "% v/v"
    Equation fc;
    Equation pwp;
    bool gravimetric; // w/w flag: VolumeFactor enters the available water
};

inline constexpr double VolumeFactor = 1.49; // bulk density turning % w/w into % v/v
inline constexpr double PercentDivisor = 100.0;

inline constexpr int ModelCount = 7;
extern const std::array<PtfModel, ModelCount> ModelCatalogue;

// The row at a ModelIndex, or nullptr when the index chooses no model.
const PtfModel* modelAt(int modelIndex) noexcept;

// The names of the inputs `model` reads, in the order Input lists them: "sand, clay, oc".
std::string readNames(const PtfModel& model);

// What a user must know before trusting a model's numbers: where the equations come from,
// the units they read their inputs in, what their results mean and where they mislead. Every
// front end shows the same sheet, so the window, the tools' listings and the manuals agree.

// The unit an input is read in by one model.
struct InputUnit {
    Input input;
    std::string_view unit; // "% (0.02-2 mm)", "g/kg", "% (g/100 g)"
};

// ---- Calibration domains

// The soils a model's equations were fitted on, as its paper states them. A soil outside
// them is flagged domain; its numbers stay what the equations give.
enum class DomainQuantity : std::uint8_t {
    sand, // the first four as Input numbers them
    silt,
    clay,
    oc,            // in the unit the model reads it
    organicMatter, // OM = OC x OrganicMatterPerCarbon
    bulkDensity,   // g/cm3
};
inline constexpr std::size_t DomainQuantityCount = 6;

// "sand", "silt", "clay", "organic carbon", "organic matter", "bulk density".
std::string_view name(DomainQuantity quantity);

// One quantity's range, bounds included; an infinite bound where the paper gives none.
struct CalibrationRange {
    DomainQuantity quantity;
    double low;
    double high;
    std::string_view unit;   // "%", "g/kg", "g/cm3"
    std::string_view source; // where the range is stated
};

// "clay 0.1-94 % (Rawls et al., 1982)", "clay up to 60 % (...)"; "organic matter" adds how
// it follows from OC.
std::string rangeText(const CalibrationRange& range);
// The ranges joined by "; ", or "not published" for none: every front end's sheet says this.
std::string calibrationText(std::span<const CalibrationRange> ranges);

// The values a domain is judged on, by DomainQuantity; NaN where not given.
using DomainValues = std::array<double, DomainQuantityCount>;
// Whether a given value lies outside its range. A value that is no finite number is not given
// and lies outside nothing.
bool outsideDomain(std::span<const CalibrationRange> ranges, const DomainValues& values) noexcept;

// The inputs a model's flags look at: those it reads, and those its calibration ranges name
// (OC for a model fitted on a range of carbon it does not read). Front ends pass these.
InputSet flaggedInputs(const PtfModel& model) noexcept;

struct ModelSheet {
    std::string_view source;           // the published reference, or the calculator's own
    std::span<const InputUnit> inputs; // each input the equations read, in the order Input lists
    std::string_view results;          // what FC and PWP mean: "% w/w: g water per 100 g ..."
    std::string_view availableWater;   // how AWC follows from them
    std::span<const std::string_view> caveats; // one sentence each
    // The soils the equations were fitted on; empty where the paper states none.
    std::span<const CalibrationRange> calibration = {};
};

// The sheet of a catalogue row.
const ModelSheet& modelSheet(const PtfModel& model);

// ---- Particle sizes and textures

// The particle-size scales on which sand, silt and clay arrive, and the step from the USDA
// scale to the international one that every model reads.
enum class ParticleSizeScale : std::uint8_t {
    international, // sand 0.02-2 mm, silt 0.002-0.02 mm: what the models read
    usda,          // sand 0.05-2 mm, silt 0.002-0.05 mm: SoilGrids, SSURGO, KSSL, DSSAT
};
inline constexpr std::array allParticleSizeScales{ParticleSizeScale::international,
                                                  ParticleSizeScale::usda};

// "international", "usda": the values of the options that choose a scale.
std::string_view name(ParticleSizeScale scale);
std::optional<ParticleSizeScale> particleSizeScale(std::string_view name) noexcept;

// The share of USDA silt (2-50 um) that lies below 20 um when the cumulative particle-size
// curve is taken as linear in the logarithm of the size between 2 and 50 um:
// ln(20 / 2) / ln(50 / 2), as the double nearest to it.
inline constexpr double UsdaSiltBelow20um = 0.7153382790366965;

// Sand, silt and clay contents of one soil, in percent.
struct ParticleSizes {
    double sand;
    double silt;
    double clay;
};

// The same soil on the international scale. Silt above 20 um moves to sand; clay keeps its
// limit. Exactly these operations in this order, so that every front end gets the same bits:
// NaN and infinities pass through as the arithmetic carries them.
constexpr ParticleSizes internationalFromUsda(const ParticleSizes& usda) noexcept {
    const double silt = usda.silt * UsdaSiltBelow20um;
    return {usda.sand + (usda.silt - silt), silt, usda.clay};
}

// Texture class of a soil on the triangle of its particle-size scale. On the international
// scale (sand 0.02-2 mm, silt 0.002-0.02 mm, clay below 0.002 mm) the twelve classes and their
// boundaries are those of the international texture triangle after Verheye and Ameryckx (1984);
// on the USDA scale (sand 0.05-2 mm, silt 0.002-0.05 mm) those of the USDA Soil Survey
// Manual's triangle. Classes of the same name share a number, though not their boundaries.
// The numbers are stored in raster bands and arrays outside this program: they never change,
// and a new class could only be added as 14.
enum class TextureClass : std::uint8_t {
    heavyClay = 0,     // HCl, clay above 45 %
    sandyClay = 1,     // SaCl
    lightClay = 2,     // LCl
    siltyClay = 3,     // SiCl
    sandyClayLoam = 4, // SaClLo
    clayLoam = 5,      // ClLo
    siltyClayLoam = 6, // SiClLo
    loamySand = 7,     // LoSa
    sand = 8,          // Sa
    sandyLoam = 9,     // SaLo
    loam = 10,         // Lo
    siltLoam = 11,     // SiLo
    silt = 12,         // Si, USDA only
    clay = 13,         // Cl, USDA only; heavy and light clay are international only
};
inline constexpr int TextureClassCount = 14;

// Every class of either triangle, in the order of its number.
inline constexpr std::array<TextureClass, TextureClassCount> allTextureClasses{
    TextureClass::heavyClay,     TextureClass::sandyClay,     TextureClass::lightClay,
    TextureClass::siltyClay,     TextureClass::sandyClayLoam, TextureClass::clayLoam,
    TextureClass::siltyClayLoam, TextureClass::loamySand,     TextureClass::sand,
    TextureClass::sandyLoam,     TextureClass::loam,          TextureClass::siltLoam,
    TextureClass::silt,          TextureClass::clay,
};

// The twelve classes of the scale's triangle, in the order of their numbers.
std::span<const TextureClass> textureClasses(ParticleSizeScale scale) noexcept;

// The published English name in lower case ("heavy clay", "silt loam"), and its abbreviation
// ("HCl", "SiLo"). Both are empty for a value that is no class.
std::string_view name(TextureClass texture);
std::string_view code(TextureClass texture);

// A point of the triangle in percent; sand + silt + clay = 100.
struct TexturePoint {
    double sand;
    double silt;
    double clay;
};

// The class of a soil from its sand, silt and clay in percent, on the triangle of the scale
// they are given on. Each must be finite and within 0..100, and their sum within 1 of 100; the
// three are then scaled to sum 100. Otherwise there is no class.
//
// A point on a boundary belongs to the finer class: the class of the soils with a little more
// clay and, at equal clay, a little more silt; on the silt-clay side, where sand is 0, the
// class with more clay. On the international triangle that is the first in the order
//   heavy clay, silty clay, light clay, sandy clay,
//   silty clay loam, clay loam, sandy clay loam,
//   silt loam, loam, sandy loam, loamy sand, sand
// whose polygon holds it. On the USDA triangle it is the manual's own reading of its limits
// ("40 % or more clay", "less than 52 % sand"; so sand 0, silt 40, clay 60 is silty clay),
// and the order is
//   silty clay, clay, silty clay loam, clay loam, sandy clay,
//   silt loam (12 % clay or more), silt, silt loam, loam, sandy clay loam,
//   sandy loam, loamy sand, sand.
//
// Allocates nothing; a few comparisons of two linear forms in clay and silt per class.
std::optional<TextureClass>
textureClass(double sand, double silt, double clay,
             ParticleSizeScale scale = ParticleSizeScale::international) noexcept;

// The polygon of a class on the scale's triangle as published, in order (clockwise with clay
// to the right and silt upwards). Empty for a value that is no class of that triangle.
std::span<const TexturePoint>
outline(TextureClass texture, ParticleSizeScale scale = ParticleSizeScale::international) noexcept;

// The centroid of the class's polygon, inside it, where its name can be written. All NaN for a
// value that is no class of the scale's triangle.
TexturePoint labelPoint(TextureClass texture,
                        ParticleSizeScale scale = ParticleSizeScale::international) noexcept;

// ---- Flags and units

// Warnings that come with an estimate. They never change a number and never stop an
// estimate; they say what a soil scientist would check first. Each flag's bit is stable: rasters
// and arrays store it.
enum class Flag : std::uint8_t {
    sum,           // sand + silt + clay differs from 100 by more than 1
    range,         // a content the model reads is below 0 or above 100
    oc,            // the model reads an OC above 200 g/kg (peat) or below 0
    pwpNotBelowFc, // PWP is at or above FC ("fc<=pwp")
    result,        // FC or PWP is below 0 or above 60 % by volume
    psd,           // sand and silt were converted from the USDA scale
    bd,            // a horizon without bulk density: VolumeFactor stood in for it
    porosity,      // FC by volume above the pores its bulk density leaves
    domain,        // an input lies outside the soils the model was fitted on
    measured,      // a horizon's FC or PWP was measured: the estimate's gave way to it
};
inline constexpr std::array allFlags{Flag::sum,    Flag::range,   Flag::oc, Flag::pwpNotBelowFc,
                                     Flag::result, Flag::psd,     Flag::bd, Flag::porosity,
                                     Flag::domain, Flag::measured};

class Flags {
public:
    constexpr Flags() = default;
    constexpr explicit Flags(std::uint16_t bits) noexcept : m_bits(bits) {}
    constexpr bool contains(Flag flag) const noexcept { return (m_bits & bit(flag)) != 0; }
    constexpr void add(Flag flag) noexcept {
        m_bits = static_cast<std::uint16_t>(m_bits | bit(flag));
    }
    constexpr void remove(Flag flag) noexcept {
        m_bits = static_cast<std::uint16_t>(m_bits & ~bit(flag));
    }
    constexpr Flags& operator|=(Flags other) noexcept {
        m_bits = static_cast<std::uint16_t>(m_bits | other.m_bits);
        return *this;
    }
    constexpr bool empty() const noexcept { return m_bits == 0; }
    constexpr std::uint16_t bits() const noexcept { return m_bits; }
    friend constexpr bool operator==(Flags, Flags) = default;

    static constexpr std::uint16_t bit(Flag flag) noexcept {
        return static_cast<std::uint16_t>(1U << static_cast<unsigned>(flag));
    }

private:
    std::uint16_t m_bits = 0;
};

// "sum", "range", "oc", "fc<=pwp", "result", "psd", "bd", "porosity", "domain", "measured":
// short and stable, for tables.
std::string_view code(Flag flag);
// The codes of the flags held, in the order allFlags lists them: "psd;domain".
std::string flagsText(Flags flags, char separator = ';');
// One English sentence, for people: "PWP is at or above FC for this soil."
std::string_view sentence(Flag flag);

// What describes the soil whatever the model: the sum flag, from sand, silt and clay when all
// three are numbers.
Flags soilFlags(const InputValues& inputs) noexcept;

// Units that give themselves away. Sand, silt and clay in percent sum to about 100; the same
// soils as fractions of 1 sum to about 1, and in g/kg lie above 100. The rule is here once, so
// that every front end warns of the same tables, rasters and arrays.
enum class ContentUnit : std::uint8_t {
    fraction,         // of 1: 0.4 for 40 %
    gramsPerKilogram, // 400 for 40 %
};

// Organic carbon as a front end may know it. TALVO PTF model (PSD + OC) reads g/kg; Rawls et
// al., 1982 reads the published equations' percent (g/100 g). Where no unit is given, the
// number goes to the model as entered, as the window has it.
enum class CarbonUnit : std::uint8_t {
    gramsPerKilogram, // "g/kg"
    percent,          // "%"
};
inline constexpr std::array allCarbonUnits{CarbonUnit::gramsPerKilogram, CarbonUnit::percent};

// "g/kg" or "%", as options and messages name the unit.
std::string_view name(CarbonUnit unit) noexcept;

// The unit the model reads organic carbon in.
CarbonUnit modelCarbonUnit(const PtfModel& model) noexcept;
// How many places the decimal point of OC in `given` moves into the model's unit: -1 from
// g/kg to %, 1 from % to g/kg, else 0. A scale factor takes it exactly.
int carbonPlaces(const PtfModel& model, CarbonUnit given) noexcept;
// OC in `given` as the model reads it, its shortest decimal text moved (5 g/kg is the double
// of "0.5" %, not 5 x 0.1). NaN and infinities stay.
double carbonFor(const PtfModel& model, CarbonUnit given, double oc) noexcept;

// Counts soils as they are read; any order, and tallies of parts of a table add up.
class ContentUnitTally {
public:
    // One soil's contents; NaN or an infinity where one is no number.
    void add(double sand, double silt, double clay) noexcept;
    // One soil that textureClass() gave a class: each content lies within 0..100 and they sum
    // to within 1 of 100, so it counts as add() would count it, without its tests. A table
    // tallies every row, and knows the class already.
    void addClassed() noexcept {
        ++m_withAll;
        ++m_withAny;
    }
    // One soil's OC as `model` reads it: counted where the model has a carbon maximum and
    // OC is a number.
    void addCarbon(const PtfModel& model, double oc) noexcept;
    ContentUnitTally& operator+=(const ContentUnitTally& other) noexcept;

    // The unit most soils look like when it is not percent: fractions where sand, silt and
    // clay sum to within 0.05 of 1 on more than half the soils with all three; g/kg where a
    // content lies above 100 on more than half the soils with any. Nothing otherwise.
    std::optional<ContentUnit> misread() const noexcept;
    // The soils that look so, and those that were judged, for the message.
    std::uint64_t looking(ContentUnit unit) const noexcept;
    std::uint64_t judged(ContentUnit unit) const noexcept;

    // One line when `model` read OC above its carbon maximum: how many of its soils
    // (`soils`: "rows", "cells") did, ended by `remedy`, which names the front end's way of
    // declaring g/kg. Empty when none did. Told once per run: the carbon of a table in g/kg
    // read as % gives a plausible-looking number on every row.
    std::string carbonNote(const PtfModel& model, std::string_view soils,
                           std::string_view remedy) const;

private:
    std::uint64_t m_withAll = 0;  // soils with all three contents
    std::uint64_t m_fraction = 0; // of these, summing to about 1
    std::uint64_t m_withAny = 0;  // soils with any content
    std::uint64_t m_above = 0;    // of these, with one above 100
    // By model position: soils with OC read by a model with a carbon maximum, and of these
    // the soils above it.
    std::array<std::uint64_t, ModelCount> m_carbonJudged{};
    std::array<std::uint64_t, ModelCount> m_carbonAbove{};
};

// ---- Water of horizons and profiles

// Water a root zone holds: each horizon's FC and PWP counted by volume of the whole soil
// (bulk density, stones), its water over its thickness, and a profile's horizons summed to
// the depths irrigation asks about (total and readily available water).
inline constexpr double StoneDensity = 2.65;      // g/cm³ of mineral grains, stones included
inline constexpr double TypicalDepletion = 0.5;   // share of TAW a crop draws before stress
inline constexpr double TypicalRootDepth = 100.0; // cm
inline constexpr double TopsoilDepth = 30.0;      // cm
inline constexpr double SubsoilDepth = 100.0;     // cm

// What a horizon can have. Outside these a horizon has no water, a table names the cell in its
// row's error, and a profile flags the depth: sums of numbers no soil has would only mislead.
inline constexpr double DeepestHorizon = 10000.0; // cm below (or above) the surface: 100 m
inline constexpr bool soundDepth(double cm) noexcept {
    return cm >= -DeepestHorizon && cm <= DeepestHorizon;
}
// g/cm³ of the fine earth: no lighter than the loosest peat, and no denser than the mineral
// grains themselves. A density near 0 would turn % by volume into thousands % by weight.
inline constexpr double LightestSoil = 0.01;
inline constexpr bool soundBulkDensity(double density) noexcept {
    return density >= LightestSoil && density <= StoneDensity;
}
inline constexpr bool soundStones(double percent) noexcept {
    return percent >= 0.0 && percent <= 100.0;
}

enum class CoarseFragmentBasis : std::uint8_t { volume, weight };

// What a horizon adds to the model's soil: its fine earth's bulk density and its stones.
struct HorizonSoil {
    // g/cm³ of the fine earth; NaN where not measured (VolumeFactor stands in, flagged bd).
    double bulkDensity = std::numeric_limits<double>::quiet_NaN();
    double coarseFragments = 0.0; // % of the whole soil, by volume or by weight
    CoarseFragmentBasis basis = CoarseFragmentBasis::volume;
};

struct HorizonWater {
    double thetaFc = 0.0;  // % v/v of the whole soil, stones included
    double thetaPwp = 0.0; // likewise
    double waterMm = 0.0;  // held between FC and PWP over the horizon's thickness
    bool bulkDensityAssumed = false;
    bool fcAbovePorosity = false; // only where the bulk density was given
    bool measured = false;        // FC or PWP, or both, as measured
    // Only where a measured value takes part: the model's own flag tells of its estimates.
    bool fcNotAbovePwp = false;
};

// FC and PWP measured in a horizon's fine earth, % by volume; NaN where not measured. They
// stand where the model's estimates would, so the horizon's stones hold none of it either.
struct MeasuredWater {
    double fc = std::numeric_limits<double>::quiet_NaN();
    double pwp = std::numeric_limits<double>::quiet_NaN();
};
// A measured water content, % by volume.
inline constexpr bool soundWaterContent(double percent) noexcept {
    return percent >= 0.0 && percent <= PercentDivisor;
}

// The pores of a fine earth of `bulkDensity`, in % by volume: more water than this it cannot
// hold, so an FC above it is an estimate to distrust.
inline double porosity(double bulkDensity) noexcept {
    return (1.0 - bulkDensity / StoneDensity) * PercentDivisor;
}

// What a horizon's water adds to its soil's flags: bd where its density was assumed, porosity
// where its FC does not fit in its pores.
inline void addHorizonFlags(const std::optional<HorizonWater>& water, Flags& flags) noexcept {
    if (water && water->bulkDensityAssumed) {
        flags.add(Flag::bd);
    }
    if (water && water->fcAbovePorosity) {
        flags.add(Flag::porosity);
    }
    if (water && water->measured) {
        flags.add(Flag::measured);
    }
    if (water && water->fcNotAbovePwp) {
        flags.add(Flag::pwpNotBelowFc);
    }
}

// Coarse fragments by weight (%) as % by volume of the whole soil, with stones of
// StoneDensity: Rv = a Rw / (1 - Rw (1 - a)), a = bulkDensity / StoneDensity.
double coarseFragmentsByVolume(double byWeight, double bulkDensity) noexcept;

// A horizon's water from the model's FC and PWP (the numbers of its 15-digit results) over
// `thicknessMm`, a `measured` value taking the place of its estimate: the one place a
// horizon's FC and PWP are decided. Nothing where the horizon's soil makes no sense: a bulk
// density or stones that are not sound, a thickness not above 0 or beyond twice
// DeepestHorizon, a measured value that is not a sound water content or a measured FC below
// a measured PWP, or an FC, PWP or water that is no finite number. An estimate that is not
// used may be NaN.
std::optional<HorizonWater> horizonWater(const PtfModel& model, double fc, double pwp,
                                         const HorizonSoil& soil, double thicknessMm,
                                         const MeasuredWater& measured = {}) noexcept;

enum class ProfileFlag : std::uint8_t {
    gap,     // the horizons leave a depth uncovered, from the surface down
    overlap, // two horizons share a depth
    depth,   // a horizon's bottom is not below its top, its top is above the surface (below
             // 0), either is no number, or its bottom lies deeper than DeepestHorizon
    missing, // a horizon has no estimate
};
inline constexpr std::array allProfileFlags{ProfileFlag::gap, ProfileFlag::overlap,
                                            ProfileFlag::depth, ProfileFlag::missing};

// "gap", "overlap", "depth", "missing".
std::string_view code(ProfileFlag flag);

class ProfileFlags {
public:
    constexpr bool contains(ProfileFlag flag) const noexcept { return (m_bits & bit(flag)) != 0; }
    constexpr void add(ProfileFlag flag) noexcept {
        m_bits = static_cast<std::uint8_t>(m_bits | bit(flag));
    }
    constexpr bool empty() const noexcept { return m_bits == 0; }
    constexpr std::uint8_t bits() const noexcept { return m_bits; }
    friend constexpr bool operator==(ProfileFlags, ProfileFlags) = default;

private:
    static constexpr std::uint8_t bit(ProfileFlag flag) noexcept {
        return static_cast<std::uint8_t>(1U << static_cast<unsigned>(flag));
    }
    std::uint8_t m_bits = 0;
};

// The codes of the flags joined by `separator`, in the order of allProfileFlags.
std::string profileFlagsText(ProfileFlags flags, char separator = ';');

struct RootZone {
    double rootDepth = TypicalRootDepth; // cm, above 0
    double depletion = TypicalDepletion; // p, 0 to 1
};

// A profile's water in mm, each sum over the horizons from the top down, counting what is there.
struct ProfileWater {
    double depth = 0.0;   // cm: the deepest bottom of the horizons with sound depths
    double topsoil = 0.0; // TAW 0-30 cm
    double subsoil = 0.0; // TAW 0-100 cm
    double root = 0.0;    // TAW to the root depth
    double readily = 0.0; // RAW = p x TAW to the root depth
    ProfileFlags flags;
};

// The horizons of one profile as they come, in any order; each keeps its depths and water
// only, so memory grows with the horizons a profile has, not with the rows they came in.
class Profile {
public:
    // A horizon from `top` to `bottom` cm, with its water, or nothing where it has no estimate.
    void add(double top, double bottom, std::optional<double> waterMm);
    // The sums, a horizon that a depth cuts counting in proportion; horizons at the same
    // depths are summed in the order they came. Gaps are never filled and
    // overlaps never trimmed: the flags say so.
    ProfileWater water(const RootZone& zone) const;
    // Ready for the next profile, keeping the room the horizons took (a map's cells reuse it).
    void clear() noexcept;

private:
    struct Horizon {
        double top;
        double bottom;
        double waterMm; // NaN: no estimate
    };
    static bool byDepth(const Horizon& a, const Horizon& b) noexcept {
        return a.top != b.top ? a.top < b.top : a.bottom < b.bottom;
    }
    // The sums over horizons from the top down.
    static ProfileWater sum(std::span<const Horizon> horizons, ProfileFlags flags,
                            const RootZone& zone);
    std::vector<Horizon> m_horizons; // in the order they came
    bool m_inOrder = true;           // m_horizons lie from the top down
    ProfileFlags m_flags;
};

// ---- Estimates

enum class Precision {
    fixed,  // the two-decimal texts the calculator finally shows
    general // the 15-digit texts it works out before rounding
};

// One soil's estimate with one model.
class SoilEstimate {
public:
    // Why the model could not estimate, as the calculator names it; nothing when it could.
    const std::optional<FailureReason>& failure() const noexcept { return m_failure; }
    // The soil's flag (its sum) and the model's (the inputs it reads, its results), also with
    // a failure.
    Flags flags() const noexcept { return m_flags; }
    // The soil's class on the triangle of its scale, from sand, silt and clay as given,
    // whatever the model reads; nothing where one is no number or lies off the triangle.
    std::optional<TextureClass> texture() const noexcept;
    // The scale sand, silt and clay were given on.
    ParticleSizeScale scale() const noexcept { return m_scale; }
    // "% w/w" or "% v/v", of FC and PWP.
    std::string_view unit() const noexcept { return m_model->unit; }

    // Writes a result's text in the estimate's precision at `out`, which holds
    // ResultTextCapacity chars, and returns the end. Precondition: no failure.
    char* writeText(char* out, Result result, char separator) const noexcept {
        assert(!m_failure);
        // Inline: a table writes three texts for every row and model.
        return m_quick
                   ? writeHundredths(out,
                                     m_results.quick.hundredths[static_cast<std::size_t>(result)],
                                     separator)
                   : writeText(out, result, separator, m_precision);
    }
    std::string text(Result result, char separator = '.') const;

    // The results worked out, in order: all three, or those before the failure, whose
    // 15-digit texts stand until the estimate is done.
    int computed() const noexcept { return m_computed; }
    // A computed result's text in `precision`. Precondition: result < computed(); fifteen
    // digits only from an estimate asked for in general precision.
    char* writeText(char* out, Result result, char separator, Precision precision) const noexcept;
    std::string text(Result result, char separator, Precision precision) const;

    // The numbers the three texts stand for, for front ends that store numbers: nothing with
    // a failure, or where a text lies beyond the double range (numberFailure() says which).
    std::optional<std::array<double, 3>> numbers() const noexcept;
    std::optional<FailureKind> numberFailure() const noexcept;
    // FC and PWP as the numbers of their 15-digit texts, whatever the precision of the texts:
    // a horizon's water is reckoned from them. Nothing as with numbers() in general precision.
    std::optional<std::array<double, 2>> fifteenDigitLimits() const noexcept;

private:
    friend SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs,
                                     Precision precision) noexcept;
    friend SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs,
                                     Precision precision, ParticleSizeScale scale) noexcept;

    // The results: counts of hundredths (5085 is "50.85") where the quick path answered, the
    // 15-digit forms where it did not. One of the two is written, once: tables make an
    // estimate for every row and model, and clearing both cost more than the quick path saves.
    struct Quick {
        std::array<std::int64_t, 3> hundredths;
        std::array<double, 2> doubles; // FC and PWP before any rounding
    };
    union Results {
        Results() noexcept {} // NOLINT(modernize-use-equals-default): leaves both unwritten
        Quick quick;
        std::array<DecimalForm, 3> forms;
    };

    const PtfModel* m_model = nullptr;
    Precision m_precision = Precision::fixed;
    bool m_quick = false; // m_results holds hundredths, not forms
    // cppcheck-suppress uninitMemberVarPrivate ; written by estimateSoil, as above
    Results m_results;
    int m_computed = 0; // results worked out before a failure
    std::optional<FailureReason> m_failure;
    Flags m_flags;
    std::array<double, 3> m_soil{}; // sand, silt and clay as given, for the texture
    ParticleSizeScale m_scale = ParticleSizeScale::international;
};

// The model's estimate of a soil whose inputs were read (InputValue: from texts, or
// numbers with NaN for no number and an infinity beyond the double range).
SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs,
                          Precision precision) noexcept;
// The same from the texts as typed; only the inputs the model reads are converted.
SoilEstimate estimateSoil(const PtfModel& model, const InputTexts& texts,
                          DecimalSeparator separator, Precision precision);

// A soil whose sand, silt and clay are given on `scale`. On the USDA scale the model gets the
// soil as internationalFromUsda() turns it, and its flags (the sum too) are those of that soil,
// with Flag::psd added; the texture is the class of the soil as given on the USDA triangle.
// Converted sand needs silt: where silt is no number, so is sand, and a failure names silt.
// On the international scale this is the estimate above.
SoilEstimate estimateSoil(const PtfModel& model, const InputValues& inputs, Precision precision,
                          ParticleSizeScale scale) noexcept;
SoilEstimate estimateSoil(const PtfModel& model, const InputTexts& texts,
                          DecimalSeparator separator, Precision precision, ParticleSizeScale scale);

// Columns of soils as numbers, as maps and arrays hold them: NaN for a cell that holds no
// number, an infinity for one beyond the double range. A column of one value stands for
// every soil; an empty one for no number.
struct SoilColumns {
    std::array<std::span<const double>, 4> inputs; // sand, silt, clay, oc
    std::size_t count = 0;
};

// The value a texture column holds for a soil without a class.
inline constexpr std::uint8_t NoTexture = 255;

// Where the results of `count` soils go, each column that long.
struct ResultColumns {
    double* fc = nullptr; // the numbers of the texts; NaN without numbers
    double* pwp = nullptr;
    double* awc = nullptr;
    std::uint16_t* flags = nullptr;  // Flags::bits(), also without numbers
    std::uint8_t* texture = nullptr; // TextureClass, or NoTexture
    std::uint8_t* failure = nullptr; // 0, or 1 + the FailureKind that left no numbers
};

namespace detail {
struct SoilNumbers;
} // namespace detail

// Estimates columns of soils with one model, each soil exactly as estimateSoil (on the same
// scale) and SoilEstimate::numbers() give it.
class SoilEstimator {
public:
    SoilEstimator(const PtfModel& model, Precision precision,
                  ParticleSizeScale scale = ParticleSizeScale::international) noexcept
        : m_model(&model), m_precision(precision), m_scale(scale) {}

    void estimate(const SoilColumns& soils, const ResultColumns& results) const;

private:
    detail::SoilNumbers estimateOne(const SoilColumns& soils, std::size_t i) const noexcept;

    const PtfModel* m_model;
    Precision m_precision;
    ParticleSizeScale m_scale;
};

// ---- Uncertainty

// Inputs known to within a standard deviation, carried through any model by Monte Carlo: soils
// are drawn around the one given, each goes through the model, and the spread of the results
// is what the inputs leave open. The same seed gives the same draws, bit for bit, on every
// platform and in the browser.

inline constexpr int DefaultDraws = 1000;
// With fewer, p05 and p95 would rest on a few dozen draws each.
inline constexpr int FewestDraws = 1000;
// A row's draws are held at once: 10^6 of them take 64 MB.
inline constexpr int MostDraws = 1000000;
inline constexpr std::uint64_t DefaultSeed = 1;
// A draw with a content outside 0..100 (or OC below 0) is drawn again; a soil needing more
// tries than this per draw lies too far outside for its spread to mean anything.
inline constexpr int TriesPerDraw = 20;

// Standard deviations of sand, silt, clay and OC, in the units the inputs are read in; 0 where
// an input is taken as exact.
using InputSpread = std::array<double, 4>;

struct DrawSettings {
    int draws = DefaultDraws; // FewestDraws to MostDraws
    std::uint64_t seed = DefaultSeed;
};

// Why a soil's draws could not be made.
enum class DrawFailure : std::uint8_t {
    spread,       // a standard deviation below 0, or no number
    threeSpreads, // sand, silt and clay all have one: none is left to keep their sum
    outside,      // fewer than one try in TriesPerDraw fell within 0..100
};
// "No spread: a standard deviation below 0 or no number", ...
std::string_view describe(DrawFailure failure);

// The soils drawn around one soil. Each input with a spread is drawn from a normal
// distribution around its value; of sand, silt and clay, the first of silt, sand, clay without
// a spread takes up the difference, so that every draw keeps the soil's sum (100 for a soil
// that sums to 100), and a model reading all three sees a soil that could exist. Draws with a
// changed content outside 0..100, or OC below 0, are drawn again: the normal distribution
// truncated there, rather than negative contents reaching a model.
class SoilDraws {
public:
    // Precondition: settings.draws within FewestDraws..MostDraws.
    explicit SoilDraws(DrawSettings settings = {});
    // Draws around `soil` from the settings' seed, whatever was drawn before: a soil's draws
    // are the same whichever row or thread it comes in. Failed, the draws are empty.
    std::optional<DrawFailure> draw(const InputValues& soil, const InputSpread& spread);
    std::span<const InputValues> soils() const noexcept { return m_soils; }

private:
    DrawSettings m_settings;
    std::vector<InputValues> m_soils;
};

// The 5th, 50th and 95th percentiles of a result over the draws; NoNumber where some draw gave
// no finite result.
struct Percentiles {
    double p05 = NoNumber;
    double p50 = NoNumber;
    double p95 = NoNumber;
};

// Percentiles by type 7 of Hyndman & Fan (1996), R's and numpy's default: the p-quantile of n
// sorted values lies at 0-based position h = (n - 1) p, between x[floor h] and x[floor h + 1]
// in proportion. Reorders `values`. Precondition: not empty.
Percentiles percentiles(std::span<double> values);

// Each draw through `outputs`, a callable from const InputValues& to std::array<double, N>,
// and the percentiles of each of its N outputs.
template <std::size_t N, typename Outputs>
std::array<Percentiles, N> propagate(std::span<const InputValues> draws, Outputs&& outputs) {
    std::array<std::vector<double>, N> values;
    for (std::vector<double>& output : values) {
        output.resize(draws.size());
    }
    for (std::size_t d = 0; d < draws.size(); ++d) {
        const std::array<double, N> drawn = outputs(draws[d]);
        for (std::size_t o = 0; o < N; ++o) {
            values[o][d] = drawn[o];
        }
    }
    std::array<Percentiles, N> out;
    for (std::size_t o = 0; o < N; ++o) {
        out[o] = percentiles(values[o]);
    }
    return out;
}

// FC, PWP and AWC of a soil by the model's equations on doubles, with sand, silt and clay on
// `scale`: no rounding to 15 digits, so within a rounding step of the estimate's numbers. NaN
// where a result is no finite number. The model's part of a propagation.
std::array<double, 3>
quickResults(const PtfModel& model, const InputValues& inputs,
             ParticleSizeScale scale = ParticleSizeScale::international) noexcept;

// ---- Hydraulic models

// The water-retention curve and saturated conductivity, beside the seven models (which give
// FC and PWP alone) and outside their catalogue. Both read sand, silt and clay on the USDA
// scale (silt 2-50 um) and organic matter in % by weight: OM = OC x OrganicMatterPerCarbon
// where only carbon is known. Water contents are m³/m³, heads cm of water (suction, positive).
enum class HydraulicModel : std::uint8_t {
    saxtonRawls, // Saxton and Rawls, 2006: texture and OM; its own power-law curve
    hypres,      // Wösten et al., 1999, HYPRES continuous PTF: van Genuchten parameters
};
inline constexpr std::array allHydraulicModels{HydraulicModel::saxtonRawls, HydraulicModel::hypres};

// "saxton-rawls", "hypres": the values of the options that choose one.
std::string_view name(HydraulicModel model);
std::optional<HydraulicModel> hydraulicModel(std::string_view name) noexcept;
// The published reference, for sheets and help.
std::string_view source(HydraulicModel model);

// Organic matter from organic carbon, both in %.
constexpr double organicMatterFromCarbon(double organicCarbon) noexcept {
    return organicCarbon * OrganicMatterPerCarbon;
}

// The inverse of internationalFromUsda: silt 2-20 um widened to 2-50 um by the same
// log-linear curve, the silt gained taken from sand. Throws Failure(outOfRange, sand) where
// sand is too small to give it (sand below 0.398 x silt); failureText says so.
ParticleSizes usdaFromInternational(const ParticleSizes& international);

// The standard heads. A kPa is taken as 10 cm of water, the convention by which the
// literature writes 33 kPa as 330 cm and 1500 kPa as 15,000 cm.
inline constexpr double FieldCapacityHead = 330.0;    // cm, 33 kPa
inline constexpr double WetFieldCapacityHead = 100.0; // cm, 10 kPa: sandy soils, some models
inline constexpr double WiltingPointHead = 15000.0;   // cm, 1500 kPa
inline constexpr double CmPerKilopascal = 10.0;

// van Genuchten's parameters, with m = 1 - 1/n.
struct VanGenuchten {
    double thetaR; // m³/m³
    double thetaS; // m³/m³
    double alpha;  // 1/cm
    double n;      // above 1
};

// Saxton and Rawls' curve: theta_s up to the air-entry tension, a straight line to 33 kPa,
// then psi = A theta^-B, the power law through theta33 and theta1500.
struct PowerLawCurve {
    double thetaS;    // m³/m³
    double theta33;   // m³/m³
    double theta1500; // m³/m³
    double airEntry;  // kPa
};

// Water content against head, in either form.
class RetentionCurve {
public:
    explicit RetentionCurve(const VanGenuchten& parameters) noexcept
        : m_form(Form::vanGenuchten), m_vanGenuchten(parameters) {}
    explicit RetentionCurve(const PowerLawCurve& parameters) noexcept
        : m_form(Form::powerLaw), m_powerLaw(parameters) {}

    // m³/m³ at `head` cm of suction; theta_s at 0 and below (a wet soil is saturated).
    double theta(double head) const noexcept;
    const VanGenuchten* vanGenuchten() const noexcept {
        return m_form == Form::vanGenuchten ? &m_vanGenuchten : nullptr;
    }
    const PowerLawCurve* powerLaw() const noexcept {
        return m_form == Form::powerLaw ? &m_powerLaw : nullptr;
    }

private:
    enum class Form : std::uint8_t { vanGenuchten, powerLaw };
    Form m_form;
    VanGenuchten m_vanGenuchten{};
    PowerLawCurve m_powerLaw{};
};

// The water a curve holds between field capacity and wilting point, in m³/m³.
struct CurveWater {
    double fc;
    double pwp;
    double awc; // fc - pwp
};
CurveWater curveWater(const RetentionCurve& curve, double fcHead = FieldCapacityHead) noexcept;

// A soil as both models read it. Each model reads only its own optional inputs.
struct HydraulicSoil {
    double sand;          // % of the fine earth, 0.05-2 mm (USDA)
    double silt;          // %, 2-50 um (USDA)
    double clay;          // %, below 2 um
    double organicMatter; // % by weight
    // Saxton and Rawls: compaction against the normal density (0.9-1.3), and gravel.
    double densityFactor = 1.0;
    double gravel = 0.0; // % of the whole soil by weight
    // HYPRES: bulk density, g/cm³, and the layer.
    double bulkDensity = NoNumber;
    bool topsoil = true;
};

// Saxton and Rawls' results, m³/m³ unless named. theta1500 to psiE read texture and OM alone;
// the rest follow the density factor, and the gravel values the gravel too.
struct SaxtonRawls {
    double theta1500;
    double theta33;
    double thetaS;
    double thetaS33;      // theta_s - theta33
    double airEntry;      // psi_e, kPa
    double normalDensity; // g/cm³, of the soil at density factor 1
    // With the density factor (theta1500 unchanged):
    double density; // g/cm³ of the fine earth
    double thetaSAdjusted;
    double theta33Adjusted;
    double thetaS33Adjusted;
    double lambda; // slope of ln theta against ln psi, 1/B
    double ks;     // mm/h of the fine earth
    double paw;    // theta33 - theta1500 of the fine earth
    // The whole soil with its gravel:
    double gravelByVolume; // % of the whole soil
    double bulkDensity;    // g/cm³
    double pawWithGravel;  // m³/m³ of the whole soil
    double ksWithGravel;   // mm/h
};
SaxtonRawls saxtonRawls(const HydraulicSoil& soil) noexcept;
// The density factor a measured bulk density gives: it over Saxton and Rawls' normal density,
// so that a measured density compacts or loosens theirs.
double measuredDensityFactor(const HydraulicSoil& soil) noexcept;

// HYPRES's van Genuchten-Mualem parameters.
struct Hypres {
    VanGenuchten curve;
    double l;  // Mualem's shape parameter
    double ks; // cm/day
};
Hypres hypres(const HydraulicSoil& soil) noexcept;

inline constexpr double MmPerHourToCmPerDay = 2.4;

// What every front end shows of a hydraulic model: its curve, conductivity and water.
struct HydraulicEstimate {
    RetentionCurve curve;
    double ks; // cm/day
    CurveWater water;
    // domain outside the model's calibration; porosity where FC lies above theta_s, as
    // Saxton and Rawls' density adjustment gives some compacted clays (their Ks is then NaN).
    Flags flags;
};

// The sheet of a hydraulic model, as the seven have theirs.
const ModelSheet& modelSheet(HydraulicModel model);

// A soil's estimate with one model, FC at `fcHead`: a plain function of its inputs, so that
// anything (uncertainty, maps, arrays) can call it. Throws Failure: division by zero (HYPRES
// divides by clay, silt and OM: the input named is oc, from which OM comes) and out of range
// (HYPRES takes logarithms of silt and OM).
HydraulicEstimate estimateHydraulics(HydraulicModel model, const HydraulicSoil& soil,
                                     double fcHead = FieldCapacityHead);

// Whether the soil lies outside the soils the model was fitted on (its sheet's calibration):
// the domain flag. Judged on the USDA sizes, OM and the bulk density where given.
bool outsideDomain(HydraulicModel model, const HydraulicSoil& soil) noexcept;

} // namespace talvo::estimation

// ---- Hydraulic soil from a row

namespace talvo::estimation {

// A soil's inputs as a table's row, a raster's cells or a caller's arrays hold them, before
// the hydraulic models read them.
struct HydraulicInputs {
    ParticleSizes sizes; // %, on `scale`
    double organic;      // OC in `carbonUnit`, or OM in % where `organicMatter`
    ParticleSizeScale scale = ParticleSizeScale::international;
    CarbonUnit carbonUnit = CarbonUnit::percent;
    bool organicMatter = false;
    double bulkDensity = NoNumber; // g/cm³; NoNumber where not measured
    double gravel = 0.0;           // % of the whole soil by weight
    bool topsoil = true;
};

// The soil `model` reads: sizes on the USDA scale (`flags` gains psd where they were
// international), OM as given or OC x OrganicMatterPerCarbon, and for Saxton and Rawls a
// measured bulk density as its density factor. Throws Failure(outOfRange, sand) where the
// international sizes have no USDA equivalent.
HydraulicSoil hydraulicSoil(HydraulicModel model, const HydraulicInputs& inputs, Flags& flags);

// A horizon's water from a curve's FC and PWP, in % v/v of the fine earth, as horizonWater
// counts a volumetric model's.
std::optional<HorizonWater> curveHorizonWater(double fc, double pwp, const HorizonSoil& soil,
                                              double thicknessMm) noexcept;

// What --sd carries through a hydraulic model, in this order: FC, PWP, AWC and theta_s in
// m³/m³, Ks in cm/day.
inline constexpr std::size_t HydraulicSpreadCount = 5;
using HydraulicSpread = std::array<Percentiles, HydraulicSpreadCount>;

// The percentiles over soils drawn around `inputs` (spreads in the inputs' own units: OM's
// where `organic` is OM); a draw without an estimate makes its outputs NoNumber. `each`, where
// given, sees every draw's outputs in turn (a horizon's water). Returns why the draws could
// not be made, `out` then untouched.
using HydraulicOutputs = std::array<double, HydraulicSpreadCount>;
std::optional<DrawFailure>
propagateHydraulics(HydraulicModel model, const HydraulicInputs& inputs, const InputSpread& spread,
                    SoilDraws& draws, double fcHead, HydraulicSpread& out,
                    const std::function<void(const HydraulicOutputs&)>& each = {});

} // namespace talvo::estimation

// ---- A hydraulic estimate's numbers as every front end gives them

namespace talvo::estimation {

// A column of those numbers: its name, its unit ("1" for none) and whether fixed precision
// keeps four significant digits (alpha 0.0368 1/cm) rather than two decimals.
struct HydraulicColumn {
    std::string_view name;
    std::string_view unit;
    bool significant = false;
};

// The estimate's numbers in this order: water in % v/v, alpha in 1/cm, Ks in cm/day.
inline constexpr std::array<HydraulicColumn, 8> HydraulicColumns{{
    {"theta_r", "% v/v", false},
    {"theta_s", "% v/v", false},
    {"alpha", "1/cm", true},
    {"n", "1", true},
    {"ks", "cm/day", false},
    {"fc", "% v/v", false},
    {"pwp", "% v/v", false},
    {"awc", "% v/v", false},
}};
using HydraulicNumbers = std::array<double, HydraulicColumns.size()>;
// NoNumber for theta_r, alpha and n where the curve is no van Genuchten one (Saxton and Rawls).
HydraulicNumbers hydraulicNumbers(const HydraulicEstimate& estimate) noexcept;

// With --sd, the percentiles in HydraulicSpread's order, p05, p50, p95 of each, in the units
// of the estimate's own numbers.
inline constexpr std::array<HydraulicColumn, 3 * HydraulicSpreadCount> HydraulicSpreadColumns{{
    {"fc_p05", "% v/v", false},
    {"fc_p50", "% v/v", false},
    {"fc_p95", "% v/v", false},
    {"pwp_p05", "% v/v", false},
    {"pwp_p50", "% v/v", false},
    {"pwp_p95", "% v/v", false},
    {"awc_p05", "% v/v", false},
    {"awc_p50", "% v/v", false},
    {"awc_p95", "% v/v", false},
    {"theta_s_p05", "% v/v", false},
    {"theta_s_p50", "% v/v", false},
    {"theta_s_p95", "% v/v", false},
    {"ks_p05", "cm/day", false},
    {"ks_p50", "cm/day", false},
    {"ks_p95", "cm/day", false},
}};
using HydraulicSpreadNumbers = std::array<double, HydraulicSpreadColumns.size()>;
HydraulicSpreadNumbers hydraulicNumbers(const HydraulicSpread& spread) noexcept;

} // namespace talvo::estimation

// ---- Model spread

namespace talvo::estimation {

// The mean and range of several models' results for one soil. FC and PWP are by volume: a
// model's % w/w is turned into % v/v with VolumeFactor, as its AWC is, since a mean of % w/w
// and % v/v would mean nothing. AWC is in mm, as every model gives it.
class ModelSpread {
public:
    // One model's FC, PWP and AWC as it gives them. A result that is no finite number, also
    // once by volume, leaves the model out: it gave no number. Precondition: count() <
    // ModelCount, each model once.
    void add(const PtfModel& model, const std::array<double, 3>& results) noexcept;
    // The models that count.
    int count() const noexcept { return m_count; }
    // Preconditions: count() > 0.
    double mean(Result result) const noexcept;
    double lowest(Result result) const noexcept;
    double highest(Result result) const noexcept;

private:
    int m_count = 0;
    // Kept whole: a mean of numbers near the double range would overflow as a sum.
    std::array<std::array<double, 3>, ModelCount> m_values{};
    std::array<double, 3> m_low{};
    std::array<double, 3> m_high{};
};

// "mean of 3 models", "mean of 1 model": how every front end names the spread.
std::string spreadLabel(int count);
// The spread's unit of FC and PWP, and how the models' % w/w entered it.
inline constexpr std::string_view SpreadUnit = "% v/v";
inline constexpr std::string_view SpreadNote =
    "FC and PWP in % v/v: a model's % w/w times 1.49 g/cm3, as its AWC";

} // namespace talvo::estimation
