#pragma once

#include "fakes/FormOnFakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qal::test {

// A form in the state start-up leaves for assignment 1, but with a lesson the
// test writes itself, so every test states exactly the lines it reads.
class PagingTest : public ::testing::Test, protected FormOnFakes {
protected:
    static constexpr const char* prompt = "Enter an answer.\r\n\r\nAlways critique.";

    PagingTest()
    {
        afterStartUp({"001.  Part B"});
        s.defaultAnswerPrompt = prompt; // shorter than the real one, so boxes stay readable
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
