#pragma once

#include <string>
#include <string_view>

namespace qal {

// Windows names files in UTF-16; the program's texts for the host are UTF-8.
// Converted here and nowhere else, never through the ANSI code page (a
// narrow std::filesystem::path takes its bytes in that code page, which
// turns "Renée" into "RenÃ©e"). A malformed sequence becomes U+FFFD.
std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

} // namespace qal
