#pragma once

#include "fakes/FakeForm.h"
#include "fakes/FakeToolkit.h"
#include "platform/FileTable.h"
#include "run/LessonForm.h"
#include "run/RunState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qal::test {

// A form in the state start-up leaves for assignment 1, but with a lesson the
// test writes itself, so every test states exactly the lines it reads.
// Paging touches no file, so no drive is needed.
class PagingTest : public ::testing::Test, protected FakeForm {
protected:
    static constexpr const char* prompt = "Enter an answer.\r\n\r\nAlways critique.";

    PagingTest()
    {
        s.assignmentNumber = "001";
        s.nextAssignmentMarker = "002";
        s.readingMode = 1;
        s.defaultAnswerPrompt = prompt;
        s.questionLabel = " <-<-<-<-  Q/A:   ";
        s.answerLabel = " YOUR ANSWER  ->->->->  ";
    }

    // Stores lines from slot 1 on and puts the reading position on slot 1,
    // the header, as opening the assignment does.
    void setLesson(const std::vector<std::string>& lines)
    {
        for (std::size_t i = 0; i < lines.size(); ++i)
            s.lessonLines.at(i + 1) = lines[i];
        s.lineCounter = 1;
    }

};

} // namespace qal::test
