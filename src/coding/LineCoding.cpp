#include "run/LessonForm.h"

#include "platform/Random.h"
#include "platform/RunError.h"

#include <cmath>

namespace qal {

std::string LessonForm::code(const std::string& aLine, const double& /*codeNbr*/)
{
    // The line code of this program leaves every line as it is.
    return aLine;
}

std::string LessonForm::makeCodeLine(const double& codeNbr)
{
    // Codes are taken to the nearest whole number (a half to the even one),
    // so the end codes of each range come up half as often as the others.
    std::string line;
    for (double pass = 1; pass <= codeNbr; ++pass) {
        const float r1 = random_.next();
        if (r1 < 0.1f) {
            const float r2 = random_.next();
            line += static_cast<char>(static_cast<unsigned char>(std::nearbyint(50.0f * r2 + 66.0f)));
        }
        const float r3 = random_.next();
        line += static_cast<char>(static_cast<unsigned char>(std::nearbyint(137.0f * r3 + 118.0f)));
    }
    return line;
}

std::string LessonForm::decode(const std::string& aLine, const double& codeNbr)
{
    std::string out;
    out.reserve(aLine.size());
    for (char ch : aLine) {
        const int c = static_cast<unsigned char>(ch);
        double result;
        if (c == 32)
            result = 32;
        else if (c < 66)
            result = c + 209 - codeNbr;
        else if (c > 118)
            result = c - codeNbr - 100;
        else
            continue; // 66..118 carry nothing
        result = std::nearbyint(result);
        if (!(result >= 0 && result <= 255))
            throw RunError(err::InvalidProcedureCall);
        out += static_cast<char>(static_cast<unsigned char>(result));
    }
    return out;
}

} // namespace qal
