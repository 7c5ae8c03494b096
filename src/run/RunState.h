#pragma once

#include "paging/LessonLimits.h"

#include <string>
#include <vector>

namespace qal {

// The variables of the run, named as the instructor's description of the
// program names them. Texts start empty, numbers at 0, flags false; an empty
// value counts as 0 (or false) everywhere.
struct RunState {
    std::string baseFolder;           // "c:\drovnel" or the LAN folder
    std::string studentName;          // as typed, blanks kept
    std::string initials;             // as typed
    std::string assignmentNumber;     // as typed, zero-padded when 1 or 2 long
    std::string nextAssignmentMarker; // the following number, padded alike
    std::string masterFilePath;
    std::string sendFilePath;
    std::string notesFilePath;
    std::string defaultAnswerPrompt; // a response equal to it is not recorded
    std::string questionLabel;       // put before each lesson line in cumulativeText
    std::string answerLabel;         // put before each response in cumulativeText
    float codeNumber = 0;            // 19..28 from start-up; a query file's first line length after codeFile

    // The lesson line table: slot 0 unused, the lesson from slot 1 on.
    std::vector<std::string> lessonLines = std::vector<std::string>(maxLessonLines + 1);
    int lineCounter = 0;         // the slot most recently stored or read
    int readingMode = 0;         // 1: one whole line per read
    int sentenceStart = 0;       // kept for a one-sentence reading mode nothing selects
    bool resetAnswerBox = false; // the next read first puts defaultAnswerPrompt back
    std::string nextBlock;       // what the reader prepared for Next Question
    std::string questionText;    // the last non-blank lesson line read
    std::string questionNumber;  // from the last question-number line
    std::string workingText;     // scratch text on its way to a box or a file
    std::string cumulativeText;  // the run's transcript, newest first
    std::string queryName;       // nothing sets it: query files are query.txt and queri.txt

    // Start questions by assignment row and column; nothing fills it, so every
    // entry is empty. Kept because its bounds limit assignment numbers to 0..100.
    std::vector<std::string> startQuestionTable =
        std::vector<std::string>((highestAssignment + 1) * (lastQuestionColumn + 1));
    std::string startQuestion; // the entry looked up for the assignment
};

} // namespace qal
