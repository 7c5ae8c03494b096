// What a record and a display of the notes cost as the student's files grow.
//
// Enter Response appends to the master and send files and flushes both to the
// disk on close; it never reads what the files hold, so a master file of
// 100 MB must cost what an empty one does. Display notes reads the whole
// notes file, so its cost grows with the file, and should grow linearly.

#include "DurableFloor.h"
#include "fakes/FormOnFakes.h"
#include "platform/FileTable.h"
#include "run/LessonForm.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace {

using namespace qal;
using namespace qal::test;

// A form after start-up for Ann Lee, assignment 1, its files in a temporary
// drive C that is removed afterwards, with a question on screen to answer.
struct Run : FormOnFakes {
    Run()
    {
        startUp(annLee());
        s.questionNumber = "3";
        s.questionText = "Sketch a graph of depth vs. clock time for the second bottle.  How does this graph "
                         "differ from your original?";
    }

    // Fills a file with lines of 79 characters up to about `bytes`, through
    // the file table, whose close flushes it to the disk: the benchmark
    // then measures the record, not the write-back of the file made here.
    void fill(const std::string& windowsPath, std::int64_t bytes)
    {
        const std::string line(79, 'x');
        files.open(9, windowsPath, FileMode::Append);
        for (std::int64_t written = 0; written < bytes; written += 81)
            files.writeLine(9, line);
        files.close(9);
    }
};

// Argument: the master file's size in MB before the first record.
void BM_EnterResponse(benchmark::State& state)
{
    Run run;
    run.fill(run.form.state().masterFilePath, state.range(0) << 20);
    for (auto _ : state) {
        run.toolkit.answerBox = "The depth falls more slowly as the bottle empties.\r\nI expected a straight line.";
        run.form.cmd_enter_response_Click();
    }
    if (!run.toolkit.messages.empty())
        state.SkipWithError(run.toolkit.messages.front().c_str());
}
BENCHMARK(BM_EnterResponse)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same comparison with both records in one loop, taking turns, so that
// both meet the disk in the same state: fsync times on a shared disk drift
// from one second to the next far more than a record's own cost.
void BM_EnterResponseSideBySide(benchmark::State& state)
{
    Run run;
    RunState& s = test::stateOf(run.form);
    const std::string masters[2] = {s.masterFilePath, "c:\\drovnel\\masterFile_Full.txt"};
    const std::string sends[2] = {s.sendFilePath, "c:\\drovnel\\send_1207Full.txt"};
    run.fill(masters[1], std::int64_t{100} << 20);
    double seconds[2] = {0, 0};
    std::int64_t turn = 0;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            const int which = (k + turn) % 2; // each goes first every other time
            s.masterFilePath = masters[which];
            s.sendFilePath = sends[which];
            run.toolkit.answerBox = "The depth falls more slowly as the bottle empties.";
            const auto start = std::chrono::steady_clock::now();
            run.form.cmd_enter_response_Click();
            seconds[which] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        ++turn;
    }
    if (!run.toolkit.messages.empty())
        state.SkipWithError(run.toolkit.messages.front().c_str());
    const double n = static_cast<double>(state.iterations());
    state.counters["empty_ms"] = 1000 * seconds[0] / n;
    state.counters["full_ms"] = 1000 * seconds[1] / n;
    state.counters["full_per_empty"] = seconds[1] / seconds[0];
}
BENCHMARK(BM_EnterResponseSideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// A record against its floor, taking turns in one loop on the same file
// system: the bare program's three durable steps (bench/DurableFloor.h) with
// lines as long as the record's.
void BM_EnterResponseAgainstFloor(benchmark::State& state)
{
    Run run;
    bench::DurableFloor floor(run.drive.drovnel());
    const std::string masterLines(435, 'm');
    const std::string sendLines(407, 's');
    double seconds[2] = {0, 0};
    std::int64_t turn = 0;
    for (auto _ : state) {
        for (int k = 0; k < 2; ++k) {
            const int which = (k + turn) % 2; // each goes first every other time
            run.toolkit.answerBox = "The depth falls more slowly as the bottle empties.\r\nI expected a straight line.";
            const auto start = std::chrono::steady_clock::now();
            if (which == 0)
                run.form.cmd_enter_response_Click();
            else
                floor.record(masterLines, sendLines);
            seconds[which] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        ++turn;
    }
    if (!run.toolkit.messages.empty())
        state.SkipWithError(run.toolkit.messages.front().c_str());
    const double n = static_cast<double>(state.iterations());
    state.counters["record_ms"] = 1000 * seconds[0] / n;
    state.counters["floor_ms"] = 1000 * seconds[1] / n;
    state.counters["record_per_floor"] = seconds[0] / seconds[1];
}
BENCHMARK(BM_EnterResponseAgainstFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

// Argument: the notes file's size in bytes.
void BM_DisplayNotes(benchmark::State& state)
{
    Run run;
    run.fill(run.form.state().notesFilePath, state.range(0));
    for (auto _ : state) {
        // Each display starts as the first of a run, not on the text that
        // the previous one gathered.
        test::stateOf(run.form).workingText.clear();
        run.toolkit.questionBox.clear();
        run.form.cmd_display_note_file_Click();
        benchmark::DoNotOptimize(run.toolkit.questionBox.data());
    }
    if (!run.toolkit.messages.empty())
        state.SkipWithError(run.toolkit.messages.front().c_str());
    state.SetBytesProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DisplayNotes)
    ->Arg(1 << 20)
    ->Arg(10 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
