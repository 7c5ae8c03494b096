// Fuzzes the lenient and the standard readings of numbers and the number
// text they are written back with.

#include "FuzzSupport.h"

#include "platform/Numbers.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace qal;

namespace {

// A finite number's text reads back, by both readings, as the same number.
void roundTrip(double value)
{
    const std::string text = numberText(value);
    fuzz::require(!text.empty() && text[0] != ' ', "number text has no blank", text);
    fuzz::require(standardNumber(text) == value, "standard reading of number text", text);
    if (value >= 0 && text.find('E') == std::string::npos)
        fuzz::require(lenientNumber(text) == value, "lenient reading of number text", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    const double lenient = lenientNumber(text);
    fuzz::require(!(lenient < 0) && !std::isnan(lenient), "lenient reading is never negative");
    if (std::isfinite(lenient))
        roundTrip(lenient);

    try {
        const double standard = standardNumber(text);
        fuzz::require(std::isfinite(standard), "standard reading is finite");
        roundTrip(standard);
    } catch (const RunError& e) {
        fuzz::require(e.number() == err::TypeMismatch, "standard reading fails only with 13");
    }

    if (size >= 8) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        if (std::isfinite(raw))
            roundTrip(raw);
    }
    return 0;
}
