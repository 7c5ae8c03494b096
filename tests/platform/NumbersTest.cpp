#include "platform/Numbers.h"
#include "platform/RunError.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef _WIN32
#include <langinfo.h>
#include <locale.h>

#include "fakes/TestEnvironment.h"
#endif

namespace qal {
namespace {

struct Reading {
    const char* text;
    double value;
};

// The readings and the writing are checked in the C locale and again under a
// locale whose decimal mark is a comma: the C library's own number reading
// follows LC_NUMERIC, and the program runs under the student's locale.
class NumbersTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (std::string(GetParam()) == "C")
            return;
#ifdef _WIN32
        // The C runtime's locale of the whole process, by its Windows name.
        previous_ = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "German_Germany.1252"))
            GTEST_SKIP() << "this system has no German locale to set";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
#else
        locale_ = decimalCommaLocale();
        ASSERT_NE(locale_, locale_t{}) << "no locale with a decimal comma";
        ASSERT_STREQ(nl_langinfo_l(RADIXCHAR, locale_), ",");
        previous_ = uselocale(locale_);
#endif
    }
    void TearDown() override
    {
#ifdef _WIN32
        if (!previous_.empty())
            std::setlocale(LC_ALL, previous_.c_str());
#else
        if (locale_) {
            uselocale(previous_);
            freelocale(locale_);
        }
#endif
    }

#ifdef _WIN32
    std::string previous_;
#else
    // de_DE.UTF-8 as the system has it or, when it was never generated,
    // compiled from the system's locale sources into a folder of our own.
    static locale_t decimalCommaLocale()
    {
        static const char* const name = "de_DE.UTF-8";
        if (locale_t l = newlocale(LC_ALL_MASK, name, locale_t{}))
            return l;
        static const LocaleFolder folder;
        if (folder.path.empty())
            return locale_t{};
        const std::string command = "localedef -c -i de_DE -f UTF-8 '" + folder.path + "/" + name + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return locale_t{};
        test::setVariable("LOCPATH", folder.path);
        return newlocale(LC_ALL_MASK, name, locale_t{});
    }

private:
    // A temporary folder, removed when the tests end.
    struct LocaleFolder {
        std::string path;
        LocaleFolder()
        {
            try {
                path = test::makeTempFolder("qalesson-locale-").string();
            } catch (const std::exception&) {
            }
        }
        ~LocaleFolder()
        {
            if (!path.empty())
                std::filesystem::remove_all(path);
        }
    };

    locale_t locale_{};
    locale_t previous_{};
#endif
};

INSTANTIATE_TEST_SUITE_P(Locales, NumbersTest, ::testing::Values("C", "de_DE.UTF-8"), [](const auto& info) {
    return std::string(info.param) == "C" ? std::string("C") : std::string("DecimalComma");
});

TEST_P(NumbersTest, LenientReadsTheLeadingNumberAndNeverFails)
{
    const Reading cases[] = {
        {"", 0},  {"abc", 0}, {"7", 7},  {"007", 7}, {"  12 and more", 12}, {"2.5", 2.5}, {"2.5.1", 2.5}, {".5", 0.5},
        {".", 0}, {"1e2", 1}, {"-1", 0}, {"0-1", 0}, {"12abc", 12},         {"\t3", 0},   {"003 ", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lenientNumber(c.text), c.value) << '"' << c.text << '"';
    // Too small for a number: zero, not an overflow.
    EXPECT_EQ(lenientNumber("0." + std::string(400, '0') + "1"), 0);
}

TEST_P(NumbersTest, StandardAcceptsNumbersWithBlanksAround)
{
    const Reading cases[] = {
        {"2", 2},  {" 2 ", 2},   {"2.0", 2},    {"-2", -2},   {"+3", 3},        {"1e2", 100},  {"0.5", 0.5},
        {"5.", 5}, {"2.5", 2.5}, {"-.5", -0.5}, {"+.5", 0.5}, {"1.5e-1", 0.15}, {"1e-999", 0}, {".25", 0.25},
    };
    for (const auto& c : cases)
        EXPECT_EQ(standardNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST_P(NumbersTest, StandardFailsWithTypeMismatch)
{
    for (const char* text : {"", " ", "x", "2x", "2 2", ".", "-", "1e", "--1", "1e999", "2,5", "-1e999"}) {
        try {
            standardNumber(text);
            ADD_FAILURE() << '"' << text << "\" was read as a number";
        } catch (const RunError& e) {
            EXPECT_EQ(e.number(), err::TypeMismatch) << text;
        }
    }
}

TEST_P(NumbersTest, TextIsTheShortestDecimalForm)
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

TEST_P(NumbersTest, TooLargeAValueIsAnOverflow)
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
