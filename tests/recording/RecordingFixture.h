#pragma once

#include "fakes/FakeForm.h"
#include "fakes/FakeToolkit.h"
#include "fakes/TempDrive.h"
#include "platform/FileTable.h"
#include "run/LessonForm.h"
#include "run/RunState.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace qal::test {

// A form in the state start-up leaves for Ann Lee and assignment 1, with its
// files in a temporary drive C and the clock fixed, so the bytes of every
// record are known.
class RecordingTest : public ::testing::Test, protected FakeForm {
protected:
    static constexpr const char* prompt = "Enter an answer.\r\n\r\nAlways critique.";
    static constexpr const char* questionLabel = " <-<-<-<-  Q/A:   ";
    static constexpr const char* answerLabel = " YOUR ANSWER  ->->->->  ";

    RecordingTest()
    {
        drive.drovnel();
        s.baseFolder = "c:\\drovnel";
        s.studentName = "Ann Lee";
        s.masterFilePath = "c:\\drovnel\\masterFile_Ann_Lee.txt";
        s.sendFilePath = "c:\\drovnel\\send_1207Ann_Lee.txt";
        s.notesFilePath = "c:\\drovnel\\notes_Ann_Lee.txt";
        s.assignmentNumber = "001";
        s.nextAssignmentMarker = "002";
        s.readingMode = 1;
        s.codeNumber = 23;
        s.defaultAnswerPrompt = prompt;
        s.questionLabel = questionLabel;
        s.answerLabel = answerLabel;
        s.lineCounter = 1;
        s.lessonLines[1] = "001.  Part B";
        clock.reading = {"12-07-2026", "14:03:09", 50589.0f};
    }

    std::filesystem::path masterPath() const { return drive.root() / "drovnel" / "masterFile_Ann_Lee.txt"; }
    std::filesystem::path sendPath() const { return drive.root() / "drovnel" / "send_1207Ann_Lee.txt"; }
    std::filesystem::path notesPath() const { return drive.root() / "drovnel" / "notes_Ann_Lee.txt"; }
    std::string master() const { return readBytes(masterPath()); }
    std::string send() const { return readBytes(sendPath()); }
    std::string notes() const { return readBytes(notesPath()); }

};

// Fails the nth line written (counting every line to every file from the
// start of the test) with the given error number, once.
class FailNthWrite : public FileFaults {
public:
    FailNthWrite(int n, int number) : n_(n), number_(number) {}
    int beforeWrite(int) override { return ++writes_ == n_ ? number_ : 0; }

private:
    int n_;
    int number_;
    int writes_ = 0;
};

// Fails every open of one file number with the given error number.
class FailOpen : public FileFaults {
public:
    FailOpen(int fileNumber, int number) : fileNumber_(fileNumber), number_(number) {}
    int beforeOpen(int fileNumber, FileMode) override { return fileNumber == fileNumber_ ? number_ : 0; }

private:
    int fileNumber_;
    int number_;
};

} // namespace qal::test
