// Every place where the program would drop an answer the student typed but
// did not record, crossed with every way the student can answer the question
// it asks first. The files are checked byte for byte in each row.

#include "recording/RecordingFixture.h"

#include "fakes/CaseTable.h"
#include "paging/LessonLineText.h"
#include "run/LessonForm.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace qal::test {
namespace {

using test::PrintTo; // where GoogleTest looks for it

enum class Drop {
    Refill,             // Next Question puts the default prompt in the answer's place
    Quit,               // quit program
    Close,              // the window closed
    ExitByNextQuestion, // the exit routine, read by Next Question
    ExitByNextPicture,  // the exit routine, two lines after the question
    NextAssignment,     // the next assignment's header
    EndMarker,          // the end marker
    InvalidAssignment,  // the reader runs off the table: the invalid-assignment message
};

enum class Answer {
    NothingTyped, // nothing is asked; the program does as it always did
    Record,
    Discard,
    Cancel,      // where offered
    RecordFails, // the program stays with the answer in its box; the next try records it
    SessionEnds, // the program is ended while the question is open: nothing is recorded
};

struct DropCase {
    std::string name;
    Drop drop;
    Answer answer;
};

// Only the student can go back on Next Question, quit and closing the window.
bool cancelOffered(Drop drop)
{
    return drop == Drop::Refill || drop == Drop::Quit || drop == Drop::Close;
}

// Next Question reads on after the refill; every other drop point ends the program.
bool endsTheProgram(Drop drop)
{
    return drop != Drop::Refill;
}

// The lesson for each drop point, from slot 1: question 1, then what follows it.
std::vector<std::string> lessonFor(Drop drop)
{
    switch (drop) {
    case Drop::ExitByNextQuestion:
    case Drop::ExitByNextPicture:
        return {"001.  Part B", "`q001 Q1", "", "`routine exitprog"};
    case Drop::NextAssignment:
        return {"001.  Part B", "`q001 Q1", "", "002.  Next"};
    case Drop::EndMarker:
        return {"001.  Part B", "`q001 Q1", "", "####.# End"};
    case Drop::InvalidAssignment:
        return {"001.  Part B", "`q001 Q1"};
    default:
        return {"001.  Part B", "`q001 Q1", "", "`q002 Q2"};
    }
}

// Where Next Question meets an end of the lesson, the answer box is refilled
// first unless something was recorded for question 1: so a first answer is
// recorded, and the student then types more.
bool recordsFirst(Drop drop)
{
    return drop == Drop::ExitByNextQuestion || drop == Drop::NextAssignment || drop == Drop::EndMarker ||
           drop == Drop::InvalidAssignment;
}

std::vector<DropCase> dropCases()
{
    const std::pair<Drop, const char*> drops[] = {
        {Drop::Refill, "NextQuestionRefill"},
        {Drop::Quit, "Quit"},
        {Drop::Close, "Close"},
        {Drop::ExitByNextQuestion, "ExitRoutineByNextQuestion"},
        {Drop::ExitByNextPicture, "ExitRoutineByNextPicture"},
        {Drop::NextAssignment, "NextAssignmentMarker"},
        {Drop::EndMarker, "EndMarker"},
        {Drop::InvalidAssignment, "InvalidAssignmentEnd"},
    };
    const std::pair<Answer, const char*> answers[] = {
        {Answer::NothingTyped, "NothingTyped"}, {Answer::Record, "Record"},
        {Answer::Discard, "Discard"},           {Answer::Cancel, "Cancel"},
        {Answer::RecordFails, "RecordFails"},   {Answer::SessionEnds, "SessionEnds"},
    };
    std::vector<DropCase> cases;
    for (const auto& [drop, dropName] : drops)
        for (const auto& [answer, answerName] : answers)
            if (answer != Answer::Cancel || cancelOffered(drop))
                cases.push_back({std::string(dropName) + answerName, drop, answer});
    return cases;
}

// Two lines, a character beyond ASCII: recorded as typed.
const std::string typed = "Half the period, \xE9venly\r\nor nearly";
const char* const numberLine = "`questionNumber 10001 ";

// The questions' texts, written out so that a change of wording fails here.
const char* const goingOnQuestion =
    "Your answer has not been recorded yet.\r\n\r\nRecord it before going on, or discard it?";
const char* const endingQuestion = "Your answer has not been recorded yet, and the program is about to end.\r\n\r\n"
                                   "Record it now, or discard it?";

class TypedAnswerTest : public RecordingTest, public ::testing::WithParamInterface<DropCase> {
protected:
    void setLesson(const std::vector<std::string>& lines)
    {
        for (std::size_t i = 0; i < lines.size(); ++i)
            s.lessonLines.at(i + 1) = lines[i];
        s.lineCounter = 1;
    }

    void dropIt(Drop drop)
    {
        switch (drop) {
        case Drop::Quit:
            form.cmd_quit_Click();
            break;
        case Drop::Close:
            form.windowClosed();
            break;
        case Drop::ExitByNextPicture:
            form.cmd_next_picture_Click();
            break;
        default:
            form.cmdNextQuestion_Click();
            break;
        }
    }
};

TEST_P(TypedAnswerTest, AsksBeforeDroppingTypedText)
{
    const DropCase& c = GetParam();
    setLesson(lessonFor(c.drop));
    form.cmdNextQuestion_Click(); // question 1; the answer box keeps its first blank
    ASSERT_EQ(s.lineCounter, 2);
    std::string master, send; // what the files must hold
    if (recordsFirst(c.drop)) {
        toolkit.answerBox = "first";
        form.cmd_enter_response_Click();
        master = responseInMaster("`q001 Q1", numberLine, "first");
        send = responseInSend("`q001 Q1", "first");
    }
    if (c.answer != Answer::NothingTyped)
        toolkit.answerBox = typed;

    const bool asks = c.answer != Answer::NothingTyped;
    const FakeToolkit::Question question{c.drop == Drop::Refill ? goingOnQuestion : endingQuestion,
                                         cancelOffered(c.drop)};
    std::vector<FakeToolkit::Question> questions;
    std::vector<std::string> messages;
    const auto dropOnce = [&] {
        dropIt(c.drop);
        if (c.drop == Drop::InvalidAssignment)
            messages.push_back(invalidAssignmentMessage);
        if (asks)
            questions.push_back(question);
    };

    FailOpen sendFileFull(2, 61); // disk full
    if (c.answer == Answer::RecordFails) {
        // The record fails: it is reported as Enter Response's failure is,
        // and the program stays, the answer in its box, the reading where the
        // click found it. The next try records it.
        files.setHost(sendFileFull);
        toolkit.choices = {TypedAnswerChoice::Record};
        dropOnce();
        messages.push_back(runtimeError(61, "Disk full"));
        EXPECT_FALSE(form.ended());
        EXPECT_EQ(toolkit.answerBox, typed);
        EXPECT_EQ(s.lineCounter, 2);
        EXPECT_EQ(this->master(), master);
        EXPECT_EQ(this->send(), send);
        files.setHost(systemHost());
    }
    switch (c.answer) {
    case Answer::Record:
    case Answer::RecordFails:
        toolkit.choices = {TypedAnswerChoice::Record};
        break;
    case Answer::Discard:
        toolkit.choices = {TypedAnswerChoice::Discard};
        break;
    case Answer::Cancel:
        toolkit.choices = {TypedAnswerChoice::Cancel};
        break;
    case Answer::SessionEnds:
        // The question is the first box of the click, but for the
        // invalid-assignment message shown before it.
        toolkit.boxesUntilEnd = c.drop == Drop::InvalidAssignment ? 2 : 1;
        break;
    case Answer::NothingTyped:
        break;
    }
    dropOnce();

    // The answer is recorded for question 1, the question shown when it was typed.
    const bool recorded = c.answer == Answer::Record || c.answer == Answer::RecordFails;
    if (recorded) {
        master += responseInMaster("`q001 Q1", numberLine, typed);
        send += responseInSend("`q001 Q1", typed);
    }
    EXPECT_EQ(this->master(), master);
    EXPECT_EQ(this->send(), send);
    EXPECT_FALSE(std::filesystem::exists(notesPath()));
    EXPECT_EQ(toolkit.questions, questions);
    EXPECT_EQ(toolkit.messages, messages);

    const bool ends = (endsTheProgram(c.drop) && c.answer != Answer::Cancel) || c.answer == Answer::SessionEnds;
    EXPECT_EQ(form.ended(), ends);
    EXPECT_EQ(toolkit.endCalls, ends ? 1 : 0);
    if (ends)
        return;
    if (c.answer == Answer::Cancel) {
        // Nothing happens.
        EXPECT_EQ(toolkit.answerBox, typed);
        EXPECT_EQ(toolkit.questionBox, "`q001 Q1");
        EXPECT_EQ(s.lineCounter, 2);
        return;
    }
    // Next Question went on to question 2: after a record the box stays as
    // recording left it, otherwise the prompt takes the answer's place.
    EXPECT_EQ(toolkit.answerBox, recorded ? "" : prompt);
    EXPECT_EQ(toolkit.questionBox, recorded ? "`q002 Q2" : "`q001 Q1`q002 Q2");
    EXPECT_EQ(s.lineCounter, 4);
}

INSTANTIATE_TEST_SUITE_P(DropPoints, TypedAnswerTest, ::testing::ValuesIn(dropCases()), caseName);

using ProgramsOwnTextTest = RecordingTest;

// What the program put into the answer box is not typed text, however it got
// there; text typed back to the same is not either.
TEST_F(ProgramsOwnTextTest, IsDroppedWithoutAsking)
{
    for (int i = 1; i <= 7; ++i)
        s.lessonLines.at(static_cast<std::size_t>(i)) = "Q" + std::to_string(i);
    s.lineCounter = 1;
    form.cmdNextQuestion_Click();
    form.cmdNextQuestion_Click(); // the default prompt
    ASSERT_EQ(toolkit.answerBox, prompt);
    form.cmdNextQuestion_Click(); // the prompt again, in place of the prompt
    form.cmd_clear_answer_box_Click();
    form.cmdNextQuestion_Click(); // the prompt in place of an emptied box
    toolkit.answerBox = "typed";
    toolkit.answerBox = prompt; // and typed back
    form.cmdNextQuestion_Click();
    EXPECT_TRUE(toolkit.questions.empty());
    form.cmd_quit_Click();
    EXPECT_TRUE(toolkit.questions.empty());
    EXPECT_TRUE(form.ended());
}

} // namespace
} // namespace qal::test
