#include "platform/Numbers.h"
#include "platform/RunError.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qal {
namespace {

struct Reading {
    const char* text;
    double value;
};

TEST(LenientNumber, ReadsTheLeadingNumberAndNeverFails)
{
    const Reading cases[] = {
        {"", 0},  {"abc", 0}, {"7", 7},  {"007", 7}, {"  12 and more", 12}, {"2.5", 2.5}, {"2.5.1", 2.5}, {".5", 0.5},
        {".", 0}, {"1e2", 1}, {"-1", 0}, {"0-1", 0}, {"12abc", 12},         {"\t3", 0},   {"003 ", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lenientNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(StandardNumber, AcceptsNumbersWithBlanksAround)
{
    const Reading cases[] = {
        {"2", 2}, {" 2 ", 2}, {"2.0", 2}, {"-2", -2}, {"+3", 3}, {"1e2", 100}, {"0.5", 0.5}, {"5.", 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(standardNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(StandardNumber, FailsWithTypeMismatch)
{
    for (const char* text : {"", " ", "x", "2x", "2 2", ".", "-", "1e", "--1", "1e999"}) {
        try {
            standardNumber(text);
            ADD_FAILURE() << '"' << text << "\" was read as a number";
        } catch (const RunError& e) {
            EXPECT_EQ(e.number(), err::TypeMismatch) << text;
        }
    }
}

TEST(NumberText, WritesTheShortestDecimalForm)
{
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {3, "3"},
        {10003, "10003"},
        {270000, "270000"},
        {1000000, "1000000"},
        {2.5, "2.5"},
        {-7, "-7"},
        {0.1, "0.1"},
        {101, "101"},
        {1e15, "1000000000000000"},
        {1e20, "100000000000000000000"},
        {123456789012345, "123456789012345"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numberText(c.value), c.text) << c.value;
}

TEST(NumberText, TooLargeAValueIsAnOverflow)
{
    const double huge = lenientNumber(std::string(400, '9'));
    for (double value : {huge, -huge, huge - huge}) {
        try {
            numberText(value);
            ADD_FAILURE() << value << " was written";
        } catch (const RunError& e) {
            EXPECT_EQ(e.number(), err::Overflow);
        }
    }
}

} // namespace
} // namespace qal
