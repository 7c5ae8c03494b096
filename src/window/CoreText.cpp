#include "window/CoreText.h"

#include "platform/CodePage.h"
#include "platform/LineBreaks.h"

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

// Windows-1252 byte to UTF-16, all 256 at once (every character is in the
// basic plane).
struct ByteTable {
    char16_t unit[256];
    ByteTable()
    {
        for (int b = 0; b < 256; ++b)
            unit[b] = static_cast<char16_t>(cp1252ToUnicode(static_cast<unsigned char>(b)));
    }
};

} // namespace

// Both conversions run over the whole text in one pass through raw
// buffers: the commands replace a box's text as a whole, often megabytes.

QString fromCoreText(const std::string& bytes)
{
    static const ByteTable table;
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* const first = text.data();
    QChar* out = first;
    const char* in = bytes.data();
    const char* const end = in + bytes.size();
    while (in < end) {
        const auto byte = static_cast<unsigned char>(*in);
        // A lone LF is Qt's line break already, and passes as it is.
        if (byte == '\r') {
            in += lineBreakLength(in, end);
            *out++ = QLatin1Char('\n');
        } else {
            *out++ = QChar(table.unit[byte]);
            ++in;
        }
    }
    text.truncate(out - first);
    return text;
}

std::string toCoreText(const QString& text)
{
    // At most two bytes a unit (CR LF for a line break).
    std::string bytes(static_cast<std::size_t>(text.size()) * 2, '\0');
    char* const first = bytes.data();
    char* out = first;
    const char16_t* in = reinterpret_cast<const char16_t*>(text.utf16());
    const char16_t* const end = in + text.size();
    while (in < end) {
        const char16_t u = *in;
        if (isLineBreak(u) || u == paragraphSeparator || u == lineSeparator) {
            in += lineBreakLength(in, end); // a CR LF is one line break
            *out++ = '\r';
            *out++ = '\n';
            continue;
        }
        ++in;
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            *out++ = static_cast<char>(u);
        } else if (QChar::isHighSurrogate(u) && in < end && QChar::isLowSurrogate(*in)) {
            ++in; // beyond the basic plane: nothing Windows-1252 has
            *out++ = '?';
        } else {
            const int byte = unicodeToCp1252(u);
            *out++ = byte < 0 ? '?' : static_cast<char>(byte);
        }
    }
    bytes.resize(static_cast<std::size_t>(out - first));
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
