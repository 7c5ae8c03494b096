#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qal {

// The program's single-byte code page is Windows-1252. Core texts are byte
// strings in it, one byte a character, exactly as they go to the files.
// The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) stand for the control characters of the same value, so every byte
// has a character and a round trip never loses one.

// The Unicode character of a byte.
char32_t cp1252ToUnicode(unsigned char byte);

// The byte of a Unicode character, or -1 when Windows-1252 lacks it.
int unicodeToCp1252(char32_t character);

// One character of UTF-8 text: its code and how many bytes it takes. A
// length of 0 means the bytes at that place are not a well-formed character
// (a stray continuation byte, a sequence cut short, an overlong form, a
// surrogate, or a code past U+10FFFF).
struct Utf8Character {
    char32_t code = 0;
    std::size_t length = 0;
};

// True for a byte that goes on a UTF-8 sequence (10xxxxxx), never one that
// starts a character: the one test for where a character may be cut.
constexpr bool isUtf8Continuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The character that starts at text[at] (at < text.size()).
Utf8Character decodeUtf8(std::string_view text, std::size_t at);

// True when the whole text is well-formed UTF-8.
bool isUtf8(std::string_view text);

// A character that UTF-8 to Windows-1252 could not carry over: where its
// bytes start, its column (counted in characters from 1), and what was
// decoded there (a length of 0 for bytes that are not UTF-8).
struct Unheld {
    std::size_t at = 0;
    std::size_t column = 0;
    Utf8Character character;
};

// UTF-8 to Windows-1252, the one conversion: every character the code page
// lacks (and every malformed byte) becomes "?", and is told to unheld, if
// given.
std::string utf8ToCp1252(std::string_view utf8, const std::function<void(const Unheld&)>& unheld = {});

// Windows-1252 to UTF-8.
std::string cp1252ToUtf8(std::string_view bytes);

// The same, appended to out.
void appendCp1252AsUtf8(std::string& out, std::string_view bytes);

} // namespace qal
