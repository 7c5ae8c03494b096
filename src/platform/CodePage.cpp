#include "platform/CodePage.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace qal {

namespace {

// Bytes 0x80..0x9F of Windows-1252. The five undefined ones map to the
// control character of the same value.
constexpr char32_t high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

char32_t cp1252ToUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return high[byte - 0x80];
    return byte;
}

int unicodeToCp1252(char32_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<int>(character);
    for (int i = 0; i < 32; ++i)
        if (high[i] == character)
            return 0x80 + i;
    return -1;
}

Utf8Character decodeUtf8(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80)
        return {lead, 1};
    const std::size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return {};
    char32_t code = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if (!isUtf8Continuation(next))
            return {};
        code = (code << 6) | (next & 0x3F);
    }
    // The shortest form only, and only the codes of Unicode characters.
    constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return {code, length};
}

bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = decodeUtf8(text, i).length;
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string utf8ToCp1252(std::string_view utf8, const std::function<void(const Unheld&)>& unheld)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t column = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const Utf8Character c = decodeUtf8(utf8, i);
        ++column;
        const int byte = c.length == 0 ? -1 : unicodeToCp1252(c.code);
        if (byte < 0) {
            out += '?';
            if (unheld)
                unheld({i, column, c});
        } else {
            out += static_cast<char>(byte);
        }
        i += c.length == 0 ? 1 : c.length;
    }
    return out;
}

void appendCp1252AsUtf8(std::string& out, std::string_view bytes)
{
    // The UTF-8 of each byte from 0x80 on, made once.
    struct Encoded {
        char bytes[3];
        unsigned char length;
    };
    static const auto upper = [] {
        std::array<Encoded, 128> table{};
        for (std::size_t i = 0; i < table.size(); ++i) {
            std::string one;
            appendUtf8(one, cp1252ToUnicode(static_cast<unsigned char>(0x80 + i)));
            std::copy(one.begin(), one.end(), table[i].bytes);
            table[i].length = static_cast<unsigned char>(one.size());
        }
        return table;
    }();

    // Most text is ASCII, the same in both: it is copied in runs, looked
    // through eight bytes at a time, and only the other characters are
    // encoded one by one.
    constexpr std::uint64_t highBits = 0x8080808080808080u;
    const char* at = bytes.data();
    const char* const end = at + bytes.size();
    while (at < end) {
        const char* const run = at;
        for (std::uint64_t word; end - at >= 8; at += 8) {
            std::memcpy(&word, at, 8);
            if ((word & highBits) != 0) {
                if constexpr (std::endian::native == std::endian::little)
                    at += std::countr_zero(word & highBits) / 8;
                break;
            }
        }
        while (at < end && static_cast<unsigned char>(*at) < 0x80)
            ++at;
        out.append(run, static_cast<std::size_t>(at - run));
        if (at == end)
            break;
        const Encoded& encoded = upper[static_cast<unsigned char>(*at) - 0x80];
        out.append(encoded.bytes, encoded.length);
        ++at;
    }
}

std::string cp1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    appendCp1252AsUtf8(out, bytes);
    return out;
}

} // namespace qal
