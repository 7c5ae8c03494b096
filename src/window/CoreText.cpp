#include "window/CoreText.h"

#include "platform/CodePage.h"

namespace qal {

namespace {

constexpr char32_t paragraphSeparator = 0x2029;
constexpr char32_t lineSeparator = 0x2028;

// Calls visit(character, index, length) for each Unicode character of text;
// a lone surrogate is a character of its own (one Windows-1252 lacks).
template <typename Visit> void forEachCharacter(const QString& text, Visit visit)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            visit(QChar::surrogateToUcs4(c, text.at(i + 1)), i, 2);
            i += 2;
        } else {
            visit(char32_t{c.unicode()}, i, 1);
            ++i;
        }
    }
}

} // namespace

QString fromCoreText(const std::string& bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            text += QLatin1Char('\n');
        } else {
            // Every byte has a character (see CodePage.h), all in the BMP.
            text += QChar(static_cast<char16_t>(cp1252ToUnicode(byte)));
        }
    }
    return text;
}

std::string toCoreText(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    bool afterCr = false;
    forEachCharacter(text, [&](char32_t c, qsizetype, int) {
        if (c == '\n' && afterCr) {
            afterCr = false; // the LF of a CR LF already written
            return;
        }
        afterCr = c == '\r';
        if (c == '\n' || c == '\r' || c == paragraphSeparator || c == lineSeparator) {
            bytes += "\r\n";
            return;
        }
        const int byte = unicodeToCp1252(c);
        bytes += byte < 0 ? '?' : static_cast<char>(byte);
    });
    return bytes;
}

bool boxCanHold(char32_t character)
{
    return character == paragraphSeparator || character == lineSeparator || unicodeToCp1252(character) >= 0;
}

QString limitToCodePage(const QString& text, int* cursor)
{
    QString result;
    result.reserve(text.size());
    const int oldCursor = cursor ? *cursor : 0;
    int newCursor = oldCursor;
    forEachCharacter(text, [&](char32_t c, qsizetype index, int length) {
        if (boxCanHold(c)) {
            result += text.mid(index, length);
            return;
        }
        result += QLatin1Char('?');
        // A pair before the cursor shrinks to one character.
        if (length == 2 && index + length <= oldCursor)
            --newCursor;
    });
    if (cursor)
        *cursor = newCursor;
    return result;
}

} // namespace qal
