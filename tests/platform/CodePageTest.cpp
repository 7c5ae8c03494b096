#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace qal {
namespace {

TEST(CodePage, EveryByteRoundTrips)
{
    for (int b = 0; b < 256; ++b) {
        const char32_t u = cp1252ToUnicode(static_cast<unsigned char>(b));
        EXPECT_EQ(unicodeToCp1252(u), b) << b;
    }
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

TEST(CodePage, MapsTheWindowsSpecificRange)
{
    EXPECT_EQ(cp1252ToUnicode(0x80), U'\u20AC'); // euro sign
    EXPECT_EQ(cp1252ToUnicode(0x93), U'\u201C'); // left double quotation mark
    EXPECT_EQ(cp1252ToUnicode(0xE9), U'\u00E9');
    EXPECT_EQ(utf8ToCp1252("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
}

TEST(CodePage, CharactersOutsideBecomeQuestionMarks)
{
    const struct {
        const char* utf8;
        const char* bytes;
    } cases[] = {
        {"\xE2\x86\x92", "?"},         // rightwards arrow
        {"a\xF0\x9F\x98\x80z", "a?z"}, // emoji, four bytes
        {"\xD0\x96", "?"},             // Cyrillic
        {"\xFF", "?"},                 // not UTF-8 at all
        {"\xC3", "?"},                 // cut short
        {"\xC0\xA9", "??"},            // an overlong form of "©" is no character
        {"\xED\xA0\x80", "???"},       // a surrogate is no character
        {"ok\r\n", "ok\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.bytes) << c.utf8;
}

// One decoder serves the lesson reader, the host's file names and the report:
// what it calls well-formed must be exactly UTF-8.
TEST(CodePage, DecodesWellFormedUtf8Only)
{
    const struct {
        std::string text;
        char32_t code;
        std::size_t length; // 0: not well-formed
    } cases[] = {
        {"a", U'a', 1},
        {"\xC3\xA9", U'\u00E9', 2},
        {"\xE2\x82\xAC", U'\u20AC', 3},
        {"\xF0\x9F\x98\x80", U'\U0001F600', 4},
        {"\xF4\x8F\xBF\xBF", U'\U0010FFFF', 4},
        {"\x80", 0, 0},             // a continuation byte alone
        {"\xC3", 0, 0},             // cut short
        {"\xC3\x28", 0, 0},         // no continuation
        {"\xC1\xBF", 0, 0},         // overlong two-byte form
        {"\xE0\x9F\xBF", 0, 0},     // overlong three-byte form
        {"\xF0\x8F\xBF\xBF", 0, 0}, // overlong four-byte form
        {"\xED\xA0\x80", 0, 0},     // a surrogate
        {"\xF4\x90\x80\x80", 0, 0}, // past U+10FFFF
        {"\xF8\x88\x80\x80\x80", 0, 0},
        {"\xFF", 0, 0},
    };
    for (const auto& c : cases) {
        const Utf8Character got = decodeUtf8(c.text, 0);
        EXPECT_EQ(got.length, c.length) << c.text;
        if (c.length != 0) {
            EXPECT_EQ(got.code, c.code) << c.text;
        }
        EXPECT_EQ(isUtf8(c.text), c.length != 0) << c.text;
    }
    EXPECT_TRUE(isUtf8(""));
    EXPECT_TRUE(isUtf8("Zo\xC3\xAB Ann"));
    EXPECT_FALSE(isUtf8("Zo\xEB Ann")); // the same name in Windows-1252
}

} // namespace
} // namespace qal
