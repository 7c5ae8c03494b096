#pragma once

#include <string>
#include <string_view>

namespace qal {

// The lenient reading of a number, used for assignment and question numbers:
// leading blanks are skipped, then the longest run of digits with at most one
// decimal point is read. No number there gives 0. Never fails.
double lenientNumber(std::string_view text);

// The standard reading, used where a reply is compared with a number:
// optional blanks, an optional sign, digits with an optional point (at least
// one digit), an optional exponent, optional blanks. Anything else fails with
// error 13 (type mismatch); so does empty text.
double standardNumber(std::string_view text);

// A number as plain decimal text in its shortest form that reads back to the
// same value, with a minus sign when negative and no leading blank:
// 3, 10003, 2.5, -7, 1000000000000000, however large.
// A value too large for a number (a lenient reading of some 309 digits or
// more) fails with error 6 (overflow) rather than writing a wrong number.
std::string numberText(double value);

} // namespace qal
