#pragma once

#include <cstddef>
#include <string_view>

namespace qal::recordText {

// The fixed texts of the header block and of the response and notes records,
// written by the program and read back by the instructor's report: one table
// for both, so that the report reads exactly what the program writes.

// Header block.
inline constexpr std::string_view studentNamePrefix = "Student Name:  ";
inline constexpr std::string_view assignmentPrefix = "assignment #";
inline constexpr std::string_view initialsPrefix = "Initials:  ";
inline constexpr std::string_view dateAndTimePrefix = "Date and Time ";

// Records.
inline constexpr std::string_view openingSeparator = "......!!!!!!!!...................................";
inline constexpr std::string_view closingSeparator = ".................................................";
inline constexpr std::size_t timeIndent = 36; // blanks before a record's time
inline constexpr std::string_view questionNumberMarker = "`questionNumber";
inline constexpr std::string_view responseMarker = "RESPONSE -->  ";
inline constexpr std::string_view notesMarker = "NOTES -------> ";

} // namespace qal::recordText
