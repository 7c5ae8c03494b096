// Fuzzes the line code, the inverse code and the code line.
// Input: byte 0 and 1 give the code number (a signed whole part and
// quarters), the rest is the line.

#include "FuzzSupport.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

using namespace qal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const double codeNbr = static_cast<std::int8_t>(data[0]) + data[1] / 4.0;
    const std::string line(reinterpret_cast<const char*>(data) + 2, size - 2);

    // The three operations touch no run state, so one form serves every
    // input (a form's lesson table is costly to make afresh each time).
    static test::FakeToolkit toolkit;
    static FileTable files;
    static test::FakeClock clock;
    static Random random;
    static LessonForm form(toolkit, files, clock, random);
    random.seed(static_cast<float>(data[1]));

    fuzz::require(form.code(line, codeNbr) == line, "code returns its line");

    try {
        const std::string out = form.decode(line, codeNbr);
        // Every character outside 66..118 gives one character; those inside none.
        std::size_t kept = 0;
        for (char ch : line) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 66 || c > 118)
                ++kept;
        }
        fuzz::require(out.size() == kept, "decode length");
    } catch (const RunError& e) {
        fuzz::require(e.number() == err::InvalidProcedureCall, "decode fails only with 5");
    }

    if (codeNbr <= 64) {
        const std::string codeLine = form.makeCodeLine(codeNbr);
        const double passes = codeNbr < 1 ? 0 : std::floor(codeNbr + 0.5);
        fuzz::require(codeLine.size() <= 2 * passes + 2, "code line length");
        bool needHigh = false;
        for (char ch : codeLine) {
            const auto c = static_cast<unsigned char>(ch);
            fuzz::require((c >= 66 && c <= 116 && !needHigh) || c >= 118, "code line characters");
            needHigh = c <= 116;
        }
        fuzz::require(!needHigh, "code line ends high");
    }
    return 0;
}
