#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qal {

// Helpers for the markers at the start of lesson lines, shared by the
// question reader, Next Question and next picture.

// The first n characters of text (all of it when shorter), lower-cased.
// Lower-casing touches ASCII letters only: every marker and routine name that
// lower-cased text is compared with is ASCII, and no other letter of the code
// page lower-cases into ASCII, so the comparisons come out the same.
std::string lowerPrefix(std::string_view text, std::size_t n);

inline std::string lowerCased(std::string_view text)
{
    return lowerPrefix(text, text.size());
}

// The routine marker, eight characters; letter case is ignored.
inline constexpr std::string_view routineMarker = "`routine";

// True when the line's first eight characters, lower-cased, are the routine
// marker. No test of what follows: the bare marker is a routine line here.
bool startsWithRoutineMarker(std::string_view line);

// The routine name part of a routine line: its text from character 10 on
// (character 9, the separator, is skipped whatever it is); empty when the
// line is shorter than ten characters.
std::string routineNamePart(std::string_view line);

} // namespace qal
