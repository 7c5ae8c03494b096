#include "paging/LessonLineText.h"

#include <algorithm>

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

bool runByNextQuestion(std::string_view block)
{
    return block.size() > routineMarker.size() && startsWithRoutineMarker(block);
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

bool isKnownRoutine(std::string_view name)
{
    return name == exitRoutine ||
           std::find(pictureRoutines.begin(), pictureRoutines.end(), name) != pictureRoutines.end();
}

bool routineEndsRun(std::string_view name)
{
    // The picture routines have no effect of their own.
    return std::find(pictureRoutines.begin(), pictureRoutines.end(), name) == pictureRoutines.end();
}

std::string padAssignmentNumber(std::string_view number)
{
    std::string padded(number.size() < 3 && !number.empty() ? 3 - number.size() : 0, '0');
    return padded.append(number);
}

} // namespace qal
