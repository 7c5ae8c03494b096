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
        {"ok\r\n", "ok\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.bytes) << c.utf8;
}

} // namespace
} // namespace qal
