#include "paging/LessonLineText.h"

namespace qal {

std::string lowerPrefix(std::string_view text, std::size_t n)
{
    std::string result(text.substr(0, n));
    for (char& c : result)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return result;
}

bool startsWithRoutineMarker(std::string_view line)
{
    return lowerPrefix(line, routineMarker.size()) == routineMarker;
}

std::string routineNamePart(std::string_view line)
{
    return line.size() > 9 ? std::string(line.substr(9)) : std::string();
}

std::string withoutBlanksAndHyphens(std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    for (char c : text)
        if (c != ' ' && c != '-')
            kept += c;
    return kept;
}

std::string routineName(std::string_view line)
{
    return lowerCased(withoutBlanksAndHyphens(routineNamePart(line)));
}

} // namespace qal
