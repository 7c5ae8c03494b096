#include "platform/Numbers.h"

#include "platform/RunError.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace qal {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether a plain decimal number too large or too small for a double is too
// large: the power of ten of its first significant digit is above zero.
bool beyondLargest(std::string_view digits)
{
    long long power = -1;
    std::size_t i = 0;
    bool significant = false;
    for (; i < digits.size() && digits[i] != '.' && digits[i] != 'e' && digits[i] != 'E'; ++i)
        if (significant || digits[i] != '0') {
            significant = true;
            ++power;
        }
    if (!significant && i < digits.size() && digits[i] == '.')
        for (++i; i < digits.size() && digits[i] == '0'; ++i)
            --power;
    while (i < digits.size() && digits[i] != 'e' && digits[i] != 'E')
        ++i;
    if (i < digits.size()) {
        ++i;
        const bool negative = i < digits.size() && digits[i] == '-';
        if (i < digits.size() && (digits[i] == '-' || digits[i] == '+'))
            ++i;
        long long exponent = 0;
        // An exponent of more digits than any double needs only grows.
        for (; i < digits.size() && exponent < 1'000'000; ++i)
            exponent = exponent * 10 + (digits[i] - '0');
        power += negative ? -exponent : exponent;
    }
    return power > 0;
}

// Reads text known to form a plain decimal number (an optional sign, digits
// with at most one point, an optional exponent). No locale is consulted: the
// point is the decimal mark whatever the student's locale says (the C
// library's strtod follows LC_NUMERIC, which the toolkit sets from the
// environment, and would read "2.5" as 2 under a decimal comma). Too large
// a number reads as infinity (the callers refuse it), too small a one as zero.
double parse(std::string_view number)
{
    bool negative = false;
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    if (number.empty())
        return 0.0;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range)
        value = beyondLargest(number) ? std::numeric_limits<double>::infinity() : 0.0;
    else if (ec != std::errc())
        value = 0.0;
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
