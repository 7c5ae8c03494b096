#include "run/LessonForm.h"

#include "platform/FileTable.h"
#include "platform/RunError.h"
#include "run/Toolkit.h"
#include "run/RunState.h"

namespace qal {

void LessonForm::displayNotes()
{
    // workingText is never emptied here: the box gains what it held before
    // (the last command's text, or the notes of an earlier display) followed
    // by the notes file's lines run together.
    files_.close(3);
    const std::size_t gathered = s_.workingText.size();
    try {
        files_.open(3, s_.notesFilePath, FileMode::Input);
        while (!files_.eof(3))
            s_.workingText += files_.readLine(3);
        files_.close(3);
    } catch (const RunError&) {
        // The question box stays as it was, and so does the text gathered:
        // a read that failed midway adds none of the lines before it. The
        // number is free for the next try.
        s_.workingText.resize(gathered);
        files_.closeQuietly({3});
        throw;
    }
    toolkit_.setQuestionBoxText(toolkit_.questionBoxText() + s_.workingText);
}

void LessonForm::displayEverything()
{
    toolkit_.setQuestionBoxText(s_.cumulativeText);
}

void LessonForm::clearBox()
{
    setAnswerBox({});
}

} // namespace qal
