#include "platform/Numbers.h"

#include "platform/RunError.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace qal {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads text known to form a plain decimal number (digits, at most one
// point, an optional exponent; an optional leading minus sign). The point is
// the decimal mark whatever the locale says: strtod would follow LC_NUMERIC
// and read "2.5" as 2 under a locale with a decimal comma. A leading point
// or plus sign, which from_chars does not take, is handled here.
double parse(std::string_view number)
{
    bool negative = false;
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    std::string withZero;
    if (!number.empty() && number.front() == '.') {
        withZero = "0" + std::string(number);
        number = withZero;
    }
    if (number.empty())
        return 0.0;
    double value = 0.0;
    const auto ec = std::from_chars(number.data(), number.data() + number.size(), value).ec;
    // Out of range, from_chars leaves the value alone: too large a number
    // reads as infinity (the callers refuse it), too small a one as zero.
    if (ec == std::errc::result_out_of_range) {
        const std::size_t mantissaEnd = number.find_first_of("eE");
        const bool tiny =
            mantissaEnd != std::string_view::npos && number.find('-', mantissaEnd) != std::string_view::npos;
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

} // namespace

double lenientNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    const std::size_t start = i;
    bool point = false;
    while (i < text.size() && (isDigit(text[i]) || (text[i] == '.' && !point))) {
        if (text[i] == '.')
            point = true;
        ++i;
    }
    return parse(text.substr(start, i - start));
}

double standardNumber(std::string_view text)
{
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    skipBlanks();
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        throw RunError(err::TypeMismatch);
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-'))
            ++j;
        std::size_t expDigits = 0;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
            ++expDigits;
        }
        if (expDigits == 0)
            throw RunError(err::TypeMismatch);
        i = j;
    }
    const std::size_t end = i;
    skipBlanks();
    if (i != text.size())
        throw RunError(err::TypeMismatch);
    const double value = parse(text.substr(start, end - start));
    if (!std::isfinite(value))
        throw RunError(err::TypeMismatch);
    return value;
}

std::string numberText(double value)
{
    if (!std::isfinite(value))
        throw RunError(err::Overflow);
    if (value == 0.0)
        return "0"; // also for -0.0
    // Plain digits however large, so the text always reads back as the same
    // number (an exponent form would read back leniently as its mantissa).
    char buffer[400];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, end);
}

} // namespace qal
