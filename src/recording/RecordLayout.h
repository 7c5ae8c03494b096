#pragma once

#include <cstddef>
#include <optional>
#include <span>
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

// The place of the first line of this part in a layout; the layout holds it.
constexpr std::size_t placeOf(std::span<const Line> layout, Part part)
{
    std::size_t i = 0;
    while (layout[i].part != part)
        ++i;
    return i;
}

} // namespace qal::recordLayout
