#include "run/LessonForm.h"

#include "paging/LessonLineText.h"
#include "paging/LessonReader.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/FileTable.h"
#include "platform/Numbers.h"
#include "platform/Random.h"
#include "platform/RunError.h"
#include "platform/WinPath.h"
#include "recording/RecordFiles.h"
#include "recording/RecordLayout.h"
#include "run/Toolkit.h"
#include "run/RunState.h"

#include <cmath>
#include <string_view>

namespace qal {

namespace {

const char* const localBaseFolder = "c:\\drovnel";
const char* const lanBaseFolder = "i:\\bkp_000416\\My Documents\\distance students\\interactive problems\\lb1";

// The name as it goes into a file name: blanks become "_", and so does every
// character that cannot stand in a Windows file name, so that no name can
// reach outside the base folder. Letter case stays.
std::string fileNameForm(const std::string& name)
{
    std::string form = name;
    constexpr std::string_view replaced = " \\/:*?\"<>|";
    for (char& c : form)
        if (static_cast<unsigned char>(c) < 32 || replaced.find(c) != std::string_view::npos)
            c = '_';
    return form;
}

// The most that the fixed parts of the three file names around the name
// take ("masterFile_" and ".txt").
constexpr std::size_t fixedFileNameParts = 15;

// The bytes a character of the code page takes in a host file name, which is
// UTF-8: one for ASCII, two or three for the others.
std::size_t hostNameBytes(char c)
{
    return cp1252ToUtf8(std::string_view(&c, 1)).size();
}

// The name as it goes into the file names, cut at a character so that every
// file name fits the file system: a longer name could never be recorded.
// Names that differ only past the cut share their files.
std::string fitFileName(const std::string& name)
{
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        bytes += hostNameBytes(name[i]);
        if (bytes > hostNameLimit - fixedFileNameParts)
            return name.substr(0, i);
    }
    return name;
}

// What the student is told when a file the run records in belongs to
// someone else: whose it is, why nothing goes into it, and what to do.
std::string foreignFileMessage(const std::string& path, const std::string& owner)
{
    return "The file " + path + " belongs to " + utf8ToCp1252(owner) +
           ", not to you. Nothing of yours is written to it, as its owner could read or change it.\r\n\r\n" +
           "Ask your instructor to move that file out of the folder (your own files stay as they are), then " +
           "start the program again.";
}

} // namespace

void LessonForm::initProgram()
{
    random_.seed(clock_.now().secondsSinceMidnight);
    try {
        // The local base folder is made on every run; that it exists already,
        // or that the drive is missing, is no concern here.
        files_.createFolder(localBaseFolder);
    } catch (const RunError&) {
    }

    try {
        // Worked out in double precision: in single precision the largest
        // draw, 1 - 2^-24, rounds up to 29, outside the code numbers' range.
        s_.codeNumber = static_cast<float>(std::floor(static_cast<double>(random_.next()) * 10.0 + 19.0));

        toolkit_.setPaneScaleHeight(Pane::Picture1, 1000);
        toolkit_.setPaneScaleWidth(Pane::Picture1, 1000);
        toolkit_.setPaneScaleHeight(Pane::Picture2, 1000);
        toolkit_.setPaneScaleWidth(Pane::Picture2, 1000);

        const std::string user = toolkit_.inputBox("Enter 1 for home user, 2 for Quelby LAN user");
        s_.baseFolder = standardNumber(user) == 2 ? lanBaseFolder : localBaseFolder;

        s_.studentName = toolkit_.inputBox("Your full name:  ");
        s_.initials = toolkit_.inputBox("Your initials (use all 3 initials and always use the same three "
                                        "initials when submitting work):  ");

        // Month and day come from one reading of the date, so a run started
        // at midnight cannot mix two days in the send file's name.
        const std::string date = clock_.now().date;
        const std::string name = fitFileName(fileNameForm(s_.studentName));
        s_.masterFilePath = s_.baseFolder + "\\masterFile_" + name + ".txt";
        s_.sendFilePath = s_.baseFolder + "\\send_" + date.substr(0, 2) + date.substr(3, 2) + name + ".txt";
        s_.notesFilePath = s_.baseFolder + "\\notes_" + name + ".txt";

        s_.assignmentNumber = toolkit_.inputBox("Assignment Number:  ");

        s_.defaultAnswerPrompt =
            "Enter, as appropriate, an answer to the question, a critique of your answer in response "
            "to a given answer, your insights regarding the situation at this point, notes to "
            "yourself, or just an OK.\r\n\r\nAlways critique your solutions by describing any "
            "insights you had or errors you makde, and by explaining how you can make use of the "
            "insight or how you now know how to avoid certain errors.  Also pose for the instructor "
            "any question or questions that you have related to the problem or series of problems.";
        s_.questionLabel = " <-<-<-<-  Q/A:   ";
        s_.answerLabel = " YOUR ANSWER  ->->->->  ";

        s_.assignmentNumber = padAssignmentNumber(s_.assignmentNumber);
        s_.nextAssignmentMarker = padAssignmentNumber(numberText(lenientNumber(s_.assignmentNumber) + 1));

        s_.lineCounter = 0;
        loadLessonLines();
    } catch (const RunError& e) {
        reportError(e);
    }
}

void LessonForm::openAssignment()
{
    try {
        // The first header of the assignment; running off the table fails
        // with 9.
        const HeaderSearch search = findHeader(s_.lessonLines, s_.assignmentNumber + ".");
        s_.lineCounter = search.slot;
        if (!search.found)
            throw RunError(err::SubscriptOutOfRange);
        const std::string line = lessonSlot(search.slot);

        s_.readingMode = 1;

        // The student's files are the student's own: one that another user
        // made first (in a folder every student of a class may write to)
        // would take the student's answers for its owner to read or change.
        // Refused before anything is written, and the run ends, as nothing
        // could be recorded.
        for (const std::string* path : {&s_.masterFilePath, &s_.sendFilePath, &s_.notesFilePath}) {
            if (const std::string owner = files_.otherOwner(*path); !owner.empty()) {
                toolkit_.messageBox(foreignFileMessage(*path, owner));
                throwEndProgram();
            }
        }

        // Make sure the master file exists.
        files_.close(1);
        files_.open(1, s_.masterFilePath, FileMode::Append);
        files_.close(1);

        // The start question of the assignment. Nothing fills the table, so
        // reading stays on the header slot; its bounds still limit assignment
        // numbers to 0..100.
        const double row = std::nearbyint(lenientNumber(s_.assignmentNumber));
        if (!(row >= 0 && row <= highestAssignment))
            throw RunError(err::SubscriptOutOfRange);
        s_.startQuestion =
            s_.startQuestionTable[static_cast<std::size_t>(row) * (lastQuestionColumn + 1) + lastQuestionColumn];
        files_.close(1);

        // The header block is one unit: whole in both files or in neither.
        RecordFiles block(files_, {1, 2}, {s_.masterFilePath, s_.sendFilePath});
        const std::string codeLine = makeCodeLine(s_.codeNumber);

        using recordLayout::Part;
        block.writeLines(recordLayout::headerBlock, [&](Part part, std::size_t place) {
            const std::string prefix(recordLayout::prefixOf(part));
            switch (part) {
            case Part::CodeLine:
                return codeLine;
            case Part::StudentName:
                return code(prefix + s_.studentName, s_.codeNumber);
            case Part::Assignment:
                return code(prefix + s_.assignmentNumber, s_.codeNumber);
            case Part::Title:
                return code(line, s_.codeNumber);
            case Part::Initials:
                return prefix + s_.initials;
            default: { // the date and time: the layout holds no other part
                const ClockReading when = clock_.now();
                return prefix + when.date + std::string(recordLayout::headerWhenGap[place]) + when.time;
            }
            }
        });
        block.close();
    } catch (const RunError& e) {
        // Leave no file open behind a failed start, or every record of the
        // run would then fail with "file already open".
        if (e.number() != err::SubscriptOutOfRange)
            files_.closeQuietly({1, 2});
        reportError(e);
    }
}

} // namespace qal
