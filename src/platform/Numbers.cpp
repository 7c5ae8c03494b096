#include "platform/Numbers.h"

#include "platform/RunError.h"

#include <charconv>
#include <cmath>
#include <locale.h>
#include <stdlib.h>
#include <string>

namespace qal {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads text known to form a plain decimal number (an optional sign, digits
// with at most one point, an optional exponent) in the C locale, so that the
// point is the decimal mark whatever the locale says: plain strtod follows
// LC_NUMERIC, which the toolkit sets from the environment, and reads "2.5"
// as 2 under a locale with a decimal comma. Too large a number reads as
// infinity (the callers refuse it), too small a one as zero.
double parse(std::string_view number)
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    if (number.empty())
        return 0.0;
    const std::string copy(number);
    return strtod_l(copy.c_str(), nullptr, c);
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
