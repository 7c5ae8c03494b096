#pragma once

#include "fakes/FormOnFakes.h"
#include "platform/FileTable.h"

#include "fakes/FaultyHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace qal::test {

// The fixed lines of the records, each with its line end, at the fake
// clock's time, and whole records as the program appends them: written out
// here, not taken from the program, so that they check it.
inline const std::string opening = "......!!!!!!!!...................................\r\n";
inline const std::string closing = ".................................................\r\n";
inline const std::string timeLine = "                                    14:03:09\r\n";
inline const std::string dateTimeLine = "                                    12-07-202614:03:09\r\n";

inline std::string responseInMaster(const std::string& question, const std::string& numberLine,
                                    const std::string& answer)
{
    return opening + timeLine + "\r\n" + "\r\n" + numberLine + "\r\n" + question + "\r\n" + opening +
           "RESPONSE -->  \r\n" + answer + "\r\n" + closing;
}

inline std::string responseInSend(const std::string& question, const std::string& answer)
{
    return opening + timeLine + question + "\r\n" + opening + "RESPONSE -->  \r\n" + answer + "\r\n" + closing;
}

inline std::string notesRecord(const std::string& question, const std::string& note)
{
    return opening + timeLine + dateTimeLine + question + "\r\n" + opening + "NOTES -------> " + note + "\r\n" +
           closing;
}

// A form in the state start-up leaves for Ann Lee and assignment 1, with its
// files in a temporary drive C and the clock fixed, so the bytes of every
// record are known; the files start empty, so a test reads only its records.
class RecordingTest : public ::testing::Test, protected FormOnFakes {
protected:
    static constexpr const char* prompt = "Enter an answer.\r\n\r\nAlways critique.";
    static constexpr const char* questionLabel = " <-<-<-<-  Q/A:   ";
    static constexpr const char* answerLabel = " YOUR ANSWER  ->->->->  ";

    RecordingTest()
    {
        afterStartUp({"001.  Part B"});
        s.defaultAnswerPrompt = prompt; // shorter than the real one, so records stay readable
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
class FailNthWrite : public FaultyHost {
public:
    FailNthWrite(int n, int number) : n_(n), number_(number) {}
    int beforeWrite(int) override { return ++writes_ == n_ ? number_ : 0; }

private:
    int n_;
    int number_;
    int writes_ = 0;
};

// Fails every open of one file number with the given error number.
class FailOpen : public FaultyHost {
public:
    FailOpen(int fileNumber, int number) : fileNumber_(fileNumber), number_(number) {}
    int beforeOpen(int fileNumber, FileMode) override { return fileNumber == fileNumber_ ? number_ : 0; }

private:
    int fileNumber_;
    int number_;
};

} // namespace qal::test
