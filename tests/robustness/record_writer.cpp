// One run of the lesson program on the fake toolkit that records many
// responses and notes, for the test that runs two of them at once on the same
// files. The files go to drive C: as QALESSON_DRIVE_C names it.
//
//   record_writer LABEL COUNT [--notes-every K] [--ready FILE] [--go FILE] [--slow] [--slow-flush] [--no-locks]
//                 [--fail-every K] [--saved FILE]
//
// Record k (1..COUNT) answers the lesson line "question k": a response
// "run LABEL record k", or every K-th one a note "run LABEL note k". With
// --ready and --go, the run creates FILE after start-up and waits for the go
// file before recording, so that two runs record at the same time. --slow
// yields the processor before every line written, to widen the moments in
// which another run could come between two lines of a record. --slow-flush
// pauses 2 ms before each file of a record goes to the disk, between one
// file and the next, where a run ended outright would tear it. --no-locks
// makes the file system refuse every lock, as NFS without its lock service
// does, so that lock files must keep the runs apart. --fail-every K fails
// every K-th record's send file as it is flushed (57, after both files took
// the record), so that the run cuts the record back out of both; the student
// clicks again, and the record goes through the next time. --saved appends
// "k" to FILE as a line once record k is reported saved (no message box), so
// that a test that ends the run outright knows what the student was told.
//
// Exit status 0 when every command went through without a message box.

#include "platform/FileTable.h"
#include "fakes/FaultyHost.h"
#include "platform/Random.h"
#include "run/LessonForm.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeToolkit.h"
#include "fakes/FormOnFakes.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using qal::test::FakeClock;
using qal::test::FakeToolkit;

class WriterFaults : public qal::test::FaultyHost {
public:
    bool slow = false;
    bool noLocks = false;
    bool slowFlush = false;
    int failEvery = 0;
    bool armed = false; // once the records begin
    int sendSyncs = 0;
    int beforeSync(int number) override
    {
        if (!armed || failEvery == 0 || number != 2)
            return 0;
        return ++sendSyncs % failEvery == 0 ? 57 : 0;
    }
    int beforeWrite(int) override
    {
        pause();
        return 0;
    }
    int beforeFlush(int, std::size_t&) override
    {
        pause();
        if (slowFlush)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return 0;
    }
    bool refusesLocks(int) override { return noLocks; }

private:
    void pause()
    {
        if (!slow)
            return;
        std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
};

int usage()
{
    std::cerr << "usage: record_writer LABEL COUNT [--notes-every K] [--ready FILE] [--go FILE] [--slow] "
                 "[--slow-flush] [--no-locks] [--fail-every K] [--saved FILE]\n";
    return 2;
}

bool failed(const FakeToolkit& toolkit, const qal::LessonForm& form, const std::string& step)
{
    if (toolkit.messages.empty() && !form.ended())
        return false;
    std::cerr << "record_writer: " << step << ": " << (form.ended() ? "the program ended" : "")
              << (toolkit.messages.empty() ? "" : toolkit.messages.back()) << '\n';
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string label = argv[1];
    const int count = std::atoi(argv[2]);
    int notesEvery = 0;
    std::string readyFile;
    std::string goFile;
    std::string savedFile;
    WriterFaults faults;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--notes-every" && i + 1 < argc)
            notesEvery = std::atoi(argv[++i]);
        else if (arg == "--ready" && i + 1 < argc)
            readyFile = argv[++i];
        else if (arg == "--go" && i + 1 < argc)
            goFile = argv[++i];
        else if (arg == "--slow")
            faults.slow = true;
        else if (arg == "--slow-flush")
            faults.slowFlush = true;
        else if (arg == "--no-locks")
            faults.noLocks = true;
        else if (arg == "--fail-every" && i + 1 < argc)
            faults.failEvery = std::atoi(argv[++i]);
        else if (arg == "--saved" && i + 1 < argc)
            savedFile = argv[++i];
        else
            return usage();
    }
    if (count < 1)
        return usage();

    FakeToolkit toolkit;
    qal::FileTable files;
    files.setHost(faults);
    FakeClock clock; // a fixed day, so both runs share one send file
    qal::Random random;
    qal::LessonForm form(toolkit, files, clock, random);

    std::vector<std::string> lesson{"001.  Part B"};
    for (int k = 1; k <= count; ++k) {
        lesson.push_back("");
        lesson.push_back("question " + std::to_string(k));
    }
    qal::test::startUp(form, toolkit, qal::test::annLee(), std::move(lesson));
    if (failed(toolkit, form, "start-up"))
        return 1;

    if (!readyFile.empty())
        std::ofstream(readyFile) << label << '\n';
    if (!goFile.empty()) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!std::filesystem::exists(goFile)) {
            if (std::chrono::steady_clock::now() > deadline) {
                std::cerr << "record_writer: no go file\n";
                return 1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::ofstream saved;
    if (!savedFile.empty())
        saved.open(savedFile, std::ios::app);
    faults.armed = true;
    for (int k = 1; k <= count; ++k) {
        form.cmdNextQuestion_Click();
        if (failed(toolkit, form, "question " + std::to_string(k)))
            return 1;
        const bool note = notesEvery > 0 && k % notesEvery == 0;
        toolkit.answerBox = "run " + label + (note ? " note " : " record ") + std::to_string(k);
        // A record that failed (and was cut back) is clicked again: the
        // answer is still in its box.
        for (int tries = 0; tries < 4; ++tries) {
            if (tries > 0 && (toolkit.messages.empty() || faults.failEvery == 0 || form.ended()))
                break;
            toolkit.messages.clear();
            if (note)
                form.cmd_save_as_notes_Click();
            else
                form.cmd_enter_response_Click();
        }
        if (failed(toolkit, form, "record " + std::to_string(k)))
            return 1;
        if (saved.is_open())
            saved << k << std::endl;
        // A student takes a moment between two records; without it one run
        // could take its files back the instant it let them go, every time,
        // and the two runs would merely take turns by the hundred.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    // As the program ends: its journal, made void after its last record,
    // goes.
    files.endRun();
    return 0;
}
