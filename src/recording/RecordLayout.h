#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qal::recordLayout {

// The header block and the response and notes records: their lines in order,
// what differs between the files they go to, and their fixed texts. One
// description, which the program writes from and the instructor's report
// reads with, so that the report reads exactly what the program writes.

// Fixed texts of the header block.
inline constexpr std::string_view studentNamePrefix = "Student Name:  ";
inline constexpr std::string_view assignmentPrefix = "assignment #";
inline constexpr std::string_view initialsPrefix = "Initials:  ";
inline constexpr std::string_view dateAndTimePrefix = "Date and Time ";

// Fixed texts of the records.
inline constexpr std::string_view openingSeparator = "......!!!!!!!!...................................";
inline constexpr std::string_view closingSeparator = ".................................................";
inline constexpr std::size_t timeIndent = 36; // blanks before a record's time
inline constexpr std::string_view questionNumberMarker = "`questionNumber";
inline constexpr std::string_view responseMarker = "RESPONSE -->  ";
inline constexpr std::string_view notesMarker = "NOTES -------> ";

// The kinds of line a block is made of.
enum class Part {
    // The header block.
    CodeLine,    // the line code's key line
    StudentName, // studentNamePrefix and the name as typed, coded
    Assignment,  // assignmentPrefix and the assignment number, coded
    Title,       // the assignment's header line from the lesson, coded
    Initials,    // initialsPrefix and the initials as typed
    HeaderWhen,  // dateAndTimePrefix, the date, the file's headerWhenGap, the time
    // The records.
    OpeningSeparator,
    Time,     // timeIndent blanks and the time
    NoteWhen, // timeIndent blanks, the date and the time run together
    Empty,
    RecordNumber, // questionNumberMarker, a blank or a minus sign, the number, a blank
    Question,     // the question, coded
    ResponseMarker,
    Answer, // the response, coded: the record's text, on as many lines as it holds
    Note,   // notesMarker and the note, coded together: the record's text
    ClosingSeparator,
};

// The files of its unit a line goes to.
enum class In {
    Every,
    FirstOnly, // the unit's first file only: the master file
};

struct Line {
    Part part;
    In in = In::Every;
};

// Written to the master and send files at start-up.
inline constexpr Line headerBlock[] = {{Part::CodeLine}, {Part::StudentName}, {Part::Assignment},
                                       {Part::Title},    {Part::Initials},    {Part::HeaderWhen}};

// What stands between the header block's date and time, by the file's place
// in its unit: nothing in the master file, one blank in the send file.
inline constexpr std::string_view headerWhenGap[] = {"", " "};

// Written by Enter Response to the master and send files.
inline constexpr Line responseRecord[] = {
    {Part::OpeningSeparator},
    {Part::Time},
    {Part::Empty, In::FirstOnly},
    {Part::Empty, In::FirstOnly},
    {Part::RecordNumber, In::FirstOnly},
    {Part::Question},
    {Part::OpeningSeparator},
    {Part::ResponseMarker},
    {Part::Answer},
    {Part::ClosingSeparator},
};

// Written by Save as Notes to the master, send and notes files.
inline constexpr Line notesRecord[] = {
    {Part::OpeningSeparator}, {Part::Time}, {Part::NoteWhen},         {Part::Question},
    {Part::OpeningSeparator}, {Part::Note}, {Part::ClosingSeparator},
};

// The whole text of a line of this part when it is always the same.
constexpr std::optional<std::string_view> fixedText(Part part)
{
    switch (part) {
    case Part::OpeningSeparator:
        return openingSeparator;
    case Part::ClosingSeparator:
        return closingSeparator;
    case Part::ResponseMarker:
        return responseMarker;
    case Part::Empty:
        return std::string_view();
    default:
        return std::nullopt;
    }
}

// What a line of this part starts with (empty when nothing is fixed).
constexpr std::string_view prefixOf(Part part)
{
    switch (part) {
    case Part::StudentName:
        return studentNamePrefix;
    case Part::Assignment:
        return assignmentPrefix;
    case Part::Initials:
        return initialsPrefix;
    case Part::HeaderWhen:
        return dateAndTimePrefix;
    case Part::RecordNumber:
        return questionNumberMarker;
    case Part::Note:
        return notesMarker;
    default:
        return fixedText(part).value_or(std::string_view());
    }
}

// The record's text: it runs to the closing separator.
constexpr bool isText(Part part)
{
    return part == Part::Answer || part == Part::Note;
}

// The text of a record is the student's and may hold any line. The reader
// ends it at its first closing separator and finds the blocks after a torn
// piece by their opening separator and their student's name line; such a line
// inside a text would end the record early or start a forged one. So a line
// of a text that is such a line, with or without blanks before it, is written
// with one blank more before it, and read with one blank less: no text line
// in a file is one of them, and every text reads back as it was typed. Any
// other line is written as it is.

// A line the reader takes for a mark of the file's blocks.
constexpr bool isStructureLine(std::string_view line)
{
    return line == openingSeparator || line == closingSeparator || line.starts_with(studentNamePrefix);
}

// Blanks, none or more, and a structure line: a text's line that is shifted.
constexpr bool isShiftedTextLine(std::string_view line)
{
    const std::size_t blanks = line.find_first_not_of(' ');
    return blanks != std::string_view::npos && isStructureLine(line.substr(blanks));
}

// A record's text (coded, its lines ended as every text the program takes in
// is: CR LF, a lone LF or a lone CR) as it is written to the files: one blank
// before each shifted line, the rest and the line ends as they are.
std::string textAsWritten(std::string text);

// A line of a record's text, as the file holds it, as it was typed.
constexpr std::string_view lineAsTyped(std::string_view line)
{
    return line.starts_with(' ') && isShiftedTextLine(line) ? line.substr(1) : line;
}

// The place of the first line of this part in a layout; the layout holds it.
constexpr std::size_t placeOf(std::span<const Line> layout, Part part)
{
    std::size_t i = 0;
    while (layout[i].part != part)
        ++i;
    return i;
}

} // namespace qal::recordLayout
