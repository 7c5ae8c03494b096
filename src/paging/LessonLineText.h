#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace qal {

// The markers at the start of lesson lines and the rules for reading them,
// by which the lesson reader (LessonReader.h) pages for start-up, the
// question reader, Next Question, next picture and the lesson checker.

// The first n characters of text (all of it when shorter), lower-cased.
// Lower-casing touches ASCII letters only: every marker and routine name that
// lower-cased text is compared with is ASCII, and no other letter of the code
// page lower-cases into ASCII, so the comparisons come out the same.
std::string lowerPrefix(std::string_view text, std::size_t n);

inline std::string lowerCased(std::string_view text)
{
    return lowerPrefix(text, text.size());
}

// A question-number line starts with this, letter case ignored.
inline constexpr std::string_view questionNumberMarker = "`q";

// A line starting with this ends the lesson.
inline constexpr std::string_view endMarker = "####.#";

// The routine marker, eight characters; letter case is ignored.
inline constexpr std::string_view routineMarker = "`routine";

// True when the line's first eight characters, lower-cased, are the routine
// marker. No test of what follows: the bare marker is a routine line here.
bool startsWithRoutineMarker(std::string_view line);

// Next Question runs the block it read as a routine only when the block is
// longer than the marker: the bare marker is shown as text.
bool runByNextQuestion(std::string_view block);

// The routine name part of a routine line: its text from character 10 on
// (character 9, the separator, is skipped whatever it is); empty when the
// line is shorter than ten characters.
std::string routineNamePart(std::string_view line);

// The text without its blanks and hyphens; every other character stays, in
// its order and letter case.
std::string withoutBlanksAndHyphens(std::string_view text);

// The routine name of a routine line as the program runs it: the name part
// without blanks and hyphens, lower-cased.
std::string routineName(std::string_view line);

// The routine table. exitprog ends the program; the picture routines do
// nothing; any other name ends the program too.
inline constexpr std::string_view exitRoutine = "exitprog";
inline constexpr std::array<std::string_view, 3> pictureRoutines = {"graph1", "graph2", "graph3"};

// True for a name in the routine table (a routine name as routineName gives).
bool isKnownRoutine(std::string_view name);

// True when running the routine ends the student's run: the exit routine and
// any name outside the table, the empty name included.
bool routineEndsRun(std::string_view name);

// The assignment number as the lesson's headers write it: one or two
// characters get zeros in front; any other length stays as it is (the text
// is neither trimmed nor checked).
std::string padAssignmentNumber(std::string_view number);

// What the student is told when the reader runs off the lesson (an
// assignment number with no header, or an assignment with no end).
inline constexpr const char* invalidAssignmentMessage =
    "You have probably not entered a valid assignment number.  Make sure the assignment number "
    "is a number, like 1 or 8 or 15 or 27 etc., and make sure that this assignment is supposed "
    "to be in the current plenk_.  This program will end and you will need to start over.  If "
    "you are sure you have entered a valid assignment number email the instructor and specify "
    "that you have received a 'subscript out of range' error";

} // namespace qal
