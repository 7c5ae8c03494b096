#include "platform/FileTable.h"
#include "platform/Random.h"
#include "platform/RunError.h"
#include "run/LessonForm.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeToolkit.h"
#include "fakes/FormOnFakes.h"

#include <gtest/gtest.h>

namespace qal {
namespace {

using test::FakeClock;
using test::FakeToolkit;
using test::FormOnCurrentDrive;

// The line code needs no files or boxes; a form on fakes is enough.
class LineCodingTest : public ::testing::Test {
protected:
    FakeToolkit toolkit;
    FileTable files;
    FakeClock clock;
    Random random;
    LessonForm form{toolkit, files, clock, random};
};

TEST_F(LineCodingTest, CodeReturnsEveryLineUnchanged)
{
    std::string every;
    for (int c = 0; c < 256; ++c)
        every += static_cast<char>(c);
    for (const std::string& line : {std::string(), std::string("   "), std::string("two\r\nlines"), every})
        for (double codeNbr : {0.0, 19.0, 28.0, 1e9})
            EXPECT_EQ(form.code(line, codeNbr), line);
}

TEST_F(LineCodingTest, CodeLineLengthAndCharactersOverManyDraws)
{
    random.seed(1234.5f);
    int shortest[2] = {1000, 1000}, longest[2] = {0, 0};
    for (int i = 0; i < 4000; ++i) {
        const int which = i % 2;
        const double codeNbr = which ? 28 : 19;
        const std::string line = form.makeCodeLine(codeNbr);
        const int n = static_cast<int>(line.size());
        shortest[which] = std::min(shortest[which], n);
        longest[which] = std::max(longest[which], n);
        ASSERT_GE(n, codeNbr);
        ASSERT_LE(n, 2 * codeNbr);
        for (std::size_t k = 0; k < line.size(); ++k) {
            const int c = static_cast<unsigned char>(line[k]);
            const bool low = c >= 66 && c <= 116;
            const bool high = c >= 118 && c <= 255;
            ASSERT_TRUE(low || high) << c;
            // A low character is always followed at once by a high one.
            if (low) {
                ASSERT_TRUE(k + 1 < line.size() && static_cast<unsigned char>(line[k + 1]) >= 118);
            }
        }
        ASSERT_GE(static_cast<unsigned char>(line.back()), 118);
    }
    EXPECT_EQ(shortest[0], 19);
    EXPECT_EQ(shortest[1], 28);
    EXPECT_GT(longest[0], 19);
}

TEST_F(LineCodingTest, CodeLineDrawsInOrderAndRoundsToNearest)
{
    FormOnCurrentDrive run; // scripted draws
    // Pass 1: r1 below 0.1 takes r2 (0.25 -> 78.5 -> 78, half to even) and r3
    // (0 -> 118). Pass 2: r1 = 0.1 is not below 0.1, so only r3 (0.999 -> 255).
    run.random.values = {0.05f, 0.25f, 0.0f, 0.1f, 0.99999994f};
    EXPECT_EQ(run.form.makeCodeLine(2.0), std::string("\x4E\x76\xFF"));
    EXPECT_EQ(run.random.draws, 5);
}

TEST_F(LineCodingTest, CodeLineOfNoPassesIsEmpty)
{
    EXPECT_EQ(form.makeCodeLine(0.0), "");
    EXPECT_EQ(form.makeCodeLine(0.5), "");
    EXPECT_EQ(form.makeCodeLine(-3.0), "");
}

TEST_F(LineCodingTest, DecodeArithmetic)
{
    const struct {
        const char* in;
        double codeNbr;
        std::string out;
    } cases[] = {
        {"", 20, ""},
        {"   ", 20, "   "},
        {"A", 20, "\xFE"},                 // 65 + 209 - 20 = 254
        {"z", 20, std::string(1, '\x02')}, // 122 - 20 - 100 = 2
        {"Bov", 20, ""},                   // 66..118 are dropped
        {"w", 19, std::string(1, '\0')},   // 119 - 19 - 100 = 0
        {"!", 28, "\xD6"},                 // 33 + 209 - 28 = 214
        {"\xFF", 19, "\x88"},              // 255 - 19 - 100 = 136
    };
    for (const auto& c : cases)
        EXPECT_EQ(form.decode(c.in, c.codeNbr), c.out) << c.in << " with " << c.codeNbr;
}

TEST_F(LineCodingTest, DecodeFailsExactlyBelowZero)
{
    // With code number n, source codes 119..99+n decode below 0.
    for (int n = 19; n <= 28; ++n) {
        for (int c = 119; c <= 130; ++c) {
            const std::string in(1, static_cast<char>(c));
            const bool fails = c <= 99 + n;
            try {
                form.decode(in, n);
                EXPECT_FALSE(fails) << c << " with " << n;
            } catch (const RunError& e) {
                EXPECT_TRUE(fails) << c << " with " << n;
                EXPECT_EQ(e.number(), err::InvalidProcedureCall);
            }
        }
    }
}

} // namespace
} // namespace qal
