#include "platform/Numbers.h"

#include "platform/RunError.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qal {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Parses the characters [begin, end) as a double; they are known to form a
// plain decimal number.
double parse(std::string_view digits)
{
    if (digits.empty() || digits == ".")
        return 0.0;
    std::string copy(digits);
    return std::strtod(copy.c_str(), nullptr);
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
    std::string number(text.substr(start, end - start));
    const double value = std::strtod(number.c_str(), nullptr);
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
