#include "run/LessonForm.h"

#include "platform/Clock.h"
#include "platform/Numbers.h"
#include "recording/RecordFiles.h"
#include "recording/RecordTexts.h"
#include "run/Toolkit.h"

#include <cmath>
#include <string>

namespace qal {

namespace {

using namespace recordText;

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
        record.write(openingSeparator);
        record.writeEach([this] { return indent + clock_.now().time; });
        // Only the master file gets the two empty lines and the record number.
        record.writeTo(1, "");
        record.writeTo(1, "");
        record.writeTo(1, recordNumberLine(s_));
        record.writeEach([this] { return code(s_.questionText, s_.codeNumber); });
        record.write(openingSeparator);
        record.write(responseMarker);
        record.writeEach([&] { return code(answer, s_.codeNumber); });
        record.write(closingSeparator);
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
        record.write(openingSeparator);
        record.writeEach([this] { return indent + clock_.now().time; });
        record.writeEach([this] {
            // Date and time from one reading, so they belong together.
            const ClockReading reading = clock_.now();
            return indent + reading.date + reading.time;
        });
        record.writeEach([this] { return code(s_.questionText, s_.codeNumber); });
        record.write(openingSeparator);
        record.writeEach([this] { return code(s_.workingText, s_.codeNumber); });
        record.write(closingSeparator);
        record.close();

        s_.cumulativeText = s_.answerLabel + s_.workingText + s_.cumulativeText;
    }
    toolkit_.setQuestionBoxText({});
    setAnswerBox({});
}

} // namespace qal
