#include "run/LessonForm.h"

#include "platform/Clock.h"
#include "platform/Numbers.h"
#include "recording/RecordFiles.h"
#include "recording/RecordLayout.h"
#include "run/Toolkit.h"
#include "run/RunState.h"

#include <cmath>
#include <string>

namespace qal {

namespace {

using namespace recordLayout;

// The blanks before a record's time and date.
const std::string indent(timeIndent, ' ');

// "`questionNumber", a blank (a minus sign for a negative number), the record
// number in its shortest form and a blank. The record number is
// assignment * 10000 + question, each read leniently (empty reads as 0).
std::string recordNumberLine(const RunState& s)
{
    const double number = lenientNumber(s.assignmentNumber) * 10000.0 + lenientNumber(s.questionNumber);
    return std::string(questionNumberMarker) + (number < 0 ? "-" : " ") + numberText(std::fabs(number)) + " ";
}

} // namespace

void LessonForm::enterResponse()
{
    const std::string answer = toolkit_.answerBoxText();
    // The default prompt is never recorded, and resetAnswerBox stays as it is
    // so that the next read puts the prompt back.
    if (answer != s_.defaultAnswerPrompt) {
        s_.resetAnswerBox = false;
        s_.workingText = answer;

        RecordFiles record(files_, {1, 2}, {s_.masterFilePath, s_.sendFilePath});
        record.writeLines(responseRecord, [&](Part part, std::size_t) {
            switch (part) {
            case Part::Time:
                return indent + clock_.now().time;
            case Part::RecordNumber:
                return recordNumberLine(s_);
            case Part::Question:
                return code(s_.questionText, s_.codeNumber);
            default: // the answer: the layout holds no other part without a fixed text
                return code(answer, s_.codeNumber);
            }
        });
        record.close();

        s_.cumulativeText = s_.answerLabel + toolkit_.answerBoxText() + s_.cumulativeText;
    }
    // Only now, with the record complete: a failure above leaves the answer
    // in its box for the student to try again.
    toolkit_.setQuestionBoxText({});
    setAnswerBox({});
}

void LessonForm::saveAsNotes()
{
    const std::string answer = toolkit_.answerBoxText();
    if (answer != s_.defaultAnswerPrompt) {
        s_.resetAnswerBox = false;
        // The marker is part of the notes text and is coded with it.
        s_.workingText = std::string(notesMarker) + answer;

        RecordFiles record(files_, {1, 2, 3}, {s_.masterFilePath, s_.sendFilePath, s_.notesFilePath});
        record.writeLines(notesRecord, [this](Part part, std::size_t) {
            switch (part) {
            case Part::Time:
                return indent + clock_.now().time;
            case Part::NoteWhen: {
                // Date and time from one reading, so they belong together.
                const ClockReading reading = clock_.now();
                return indent + reading.date + reading.time;
            }
            case Part::Question:
                return code(s_.questionText, s_.codeNumber);
            default: // the note: the layout holds no other part without a fixed text
                return code(s_.workingText, s_.codeNumber);
            }
        });
        record.close();

        s_.cumulativeText = s_.answerLabel + s_.workingText + s_.cumulativeText;
    }
    toolkit_.setQuestionBoxText({});
    setAnswerBox({});
}

} // namespace qal
