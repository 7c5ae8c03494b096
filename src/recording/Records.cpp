#include "run/LessonForm.h"

#include "platform/Clock.h"
#include "platform/Numbers.h"
#include "platform/RunError.h"
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

// What tells one record from another when it is tried again: its kind, its
// question and its text.
std::string recordKey(char kind, const std::string& question, const std::string& text)
{
    return std::string(1, kind) + question + '\0' + text;
}

} // namespace

void LessonForm::closeRecord(RecordFiles& record, const std::string& key)
{
    try {
        record.close(key == unfinishedRecord_);
    } catch (const RunError& e) {
        // Kept for the next try only where the files hold something of it;
        // a record that reached no file is simply written again.
        unfinishedRecord_ = e.leftInFiles() ? key : std::string();
        throw;
    }
    unfinishedRecord_.clear();
}

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
                return textAsWritten(code(answer, s_.codeNumber));
            }
        });
        closeRecord(record, recordKey('r', s_.questionText, answer));

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
                return textAsWritten(code(s_.workingText, s_.codeNumber));
            }
        });
        closeRecord(record, recordKey('n', s_.questionText, s_.workingText));

        s_.cumulativeText = s_.answerLabel + s_.workingText + s_.cumulativeText;
    }
    toolkit_.setQuestionBoxText({});
    setAnswerBox({});
}

} // namespace qal
