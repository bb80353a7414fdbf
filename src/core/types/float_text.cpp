// Decimal texts are checked against the grammar here, in the same pass that
// gathers their significant digits. When those digits and the power of ten
// are both exact doubles, one multiplication or division rounds correctly by
// itself (the usual fast path, taken by most short numbers). Everything else
// goes to std::from_chars, which rounds correctly and allocates nothing. Two
// gaps are filled around it: it refuses a leading '+', so the sign is always
// taken off and put back, and for a result beyond the double range it
// reports an error and leaves its output untouched, so the direction
// (infinity or zero) is decided here from the decimal exponent.
#include <cfloat>
#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

#include "types/ascii_case.hpp"
#include "types/cell_text.hpp"

namespace brelt {

namespace {

// Exponent digits beyond this add nothing: every double is within 10^±400 and
// no text has 2^59 digits, so sums with digit counts cannot overflow and keep
// their sign.
constexpr std::int64_t kExponentCap = std::int64_t{1} << 59;

// The fast path relies on double arithmetic being done in double precision.
constexpr bool kExactDoubleArithmetic = FLT_EVAL_METHOD == 0;

constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The digits of a decimal text read as an integer D (leading zeros dropped)
// with the value D * 10^(exponent - fraction_digits).
struct DecimalText {
    std::uint64_t significand = 0;       // D, while it has at most 19 digits
    std::size_t significant_digits = 0;  // the digits of D; 0 when the text is zero
    std::size_t fraction_digits = 0;     // digits after the point
    std::int64_t exponent = 0;           // after "e", saturated at kExponentCap

    // The value lies in [10^e, 10^(e+1)) for this e. Requires a nonzero text.
    std::int64_t leading_exponent() const {
        return static_cast<std::int64_t>(significant_digits) - 1 -
               static_cast<std::int64_t>(fraction_digits) + exponent;
    }
};

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Takes the digits from text[i] on into `out`; returns how many there were.
std::size_t take_digits(std::string_view text, std::size_t& i, DecimalText& out) {
    const std::size_t begin = i;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (out.significant_digits == 0 && digit == 0) continue;
        if (out.significant_digits < 19) out.significand = out.significand * 10 + digit;
        ++out.significant_digits;
    }
    return i - begin;
}

// Matches unsigned `digits[.digits][(e|E)[sign]digits]`, with a digit on at
// least one side of the point, against the whole of `text`.
bool scan_decimal(std::string_view text, DecimalText& out) {
    std::size_t i = 0;
    const std::size_t whole_digits = take_digits(text, i, out);
    if (i < text.size() && text[i] == '.') out.fraction_digits = take_digits(text, ++i, out);
    if (whole_digits + out.fraction_digits == 0) return false;

    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
        const std::size_t exponent_begin = i;
        for (; i < text.size() && is_digit(text[i]); ++i) {
            if (out.exponent < kExponentCap) out.exponent = out.exponent * 10 + (text[i] - '0');
        }
        if (i == exponent_begin) return false;
        if (negative) out.exponent = -out.exponent;
    }
    return i == text.size();
}

// The value when D and the power of ten are both exact doubles.
bool convert_exactly(const DecimalText& decimal, double& magnitude) {
    if (!kExactDoubleArithmetic || decimal.significant_digits > 19 ||
        decimal.significand > (std::uint64_t{1} << 53))
        return false;
    const std::int64_t power =
        decimal.exponent - static_cast<std::int64_t>(decimal.fraction_digits);
    if (power < -22 || power > 22) return false;
    const auto significand = static_cast<double>(decimal.significand);
    magnitude = power < 0 ? significand / kExactPowersOfTen[-power]
                          : significand * kExactPowersOfTen[power];
    return true;
}

// "inf", "infinity" or "nan" in any case.
bool parse_special(std::string_view text, double& magnitude) {
    if (equals_ignoring_ascii_case(text, "inf") || equals_ignoring_ascii_case(text, "infinity")) {
        magnitude = std::numeric_limits<double>::infinity();
        return true;
    }
    if (equals_ignoring_ascii_case(text, "nan")) {
        magnitude = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    return false;
}

// `text` is unsigned and matches the decimal grammar.
double convert_decimal(std::string_view text, const DecimalText& decimal) {
    // A zero significand is zero whatever its exponent.
    if (decimal.significant_digits == 0) return 0.0;
    double magnitude;
    if (convert_exactly(decimal, magnitude)) return magnitude;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error == std::errc::result_out_of_range) {
        // Only |x| >= 1 can overflow and only |x| < 1 can underflow.
        return decimal.leading_exponent() >= 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return magnitude;
}

}  // namespace

bool parse_float_text(std::string_view text, double& value) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;

    double magnitude;
    if (is_digit(text[0]) || text[0] == '.') {
        DecimalText decimal;
        if (!scan_decimal(text, decimal)) return false;
        magnitude = convert_decimal(text, decimal);
    } else if (!parse_special(text, magnitude)) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace brelt
