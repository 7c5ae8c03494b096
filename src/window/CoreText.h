#pragma once

#include <QString>

#include <string>

namespace qal {

// Conversions between the core's texts (Windows-1252 bytes, CR LF line
// breaks) and Qt's (UTF-16, "\n" line breaks).

// Every CR LF, and any lone CR or LF, becomes "\n".
QString fromCoreText(const std::string& bytes);

// Every line break ("\n", CR LF, a lone CR, and the paragraph and line
// separators of Qt's text documents) becomes CR LF; every character that
// Windows-1252 lacks becomes "?".
std::string toCoreText(const QString& text);

// True for a character the boxes may hold: one Windows-1252 has, or one of
// the separators Qt's text documents use for line breaks.
bool boxCanHold(char32_t character);

// The text with every character a box cannot hold replaced by "?"; a
// surrogate pair counts as one character. When cursor is given, it is a
// position in text and is moved to the same place in the result.
QString limitToCodePage(const QString& text, int* cursor = nullptr);

} // namespace qal
