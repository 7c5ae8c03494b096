// The commands that fill the question box, timed in the real window against
// the toolkit's own floor: a bare QPlainTextEdit of the same size and font,
// shown beside it, given the same text with setPlainText.
//
//   display everything   a transcript of 1 MB
//   display notes        a notes file of 1 MB
//   Next Question        100 KB already in the box, one question added
//
// Each command and its bare counterpart take turns, each going first every
// other round, so that both meet the machine in the same state; each is timed
// from the click to the end of the repaint that follows it. Prints, for each
// command, the median of its times, the median of the bare widget's and the
// median of the rounds' ratios.
//
// Needs a display (bench/run-all.py starts Xvfb).
// Usage: window_bench [ROUNDS]   (default 30)

#include "fakes/TempDrive.h"
#include "platform/Clock.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "run/LessonForm.h"
#include "run/RunState.h"
#include "window/CoreText.h"
#include "window/MainWindow.h"
#include "window/QtToolkit.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs the action, then lets the window lay out and repaint what changed.
double timed(const std::function<void()>& action)
{
    const double start = now();
    action();
    QCoreApplication::processEvents();
    return now() - start;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Lines of ordinary lesson and answer text, CR LF after each, up to bytes.
std::string text(std::size_t bytes, const char* lineEnd)
{
    const std::string line = "Give your depth vs. clock time data and explain how you obtained it.  How do your "
                             "results differ from your predictions? 10\xB0 \x93quoted\x94";
    std::string all;
    while (all.size() < bytes)
        all += line + lineEnd;
    all.resize(bytes);
    return all;
}

// The window's toolkit, but a message (an error) ends the benchmark instead
// of waiting for a click.
struct BenchToolkit : qal::QtToolkit {
    using QtToolkit::QtToolkit;
    void messageBox(const std::string& text) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        std::exit(1);
    }
};

const std::string question = "Give your depth vs. clock time data and explain how you obtained it.";

struct Lesson {
    qal::test::TempDrive drive;
    qal::FileTable files;
    qal::SystemClock clock;
    qal::Random random;
    qal::MainWindow window;
    BenchToolkit toolkit{window};
    qal::LessonForm form{toolkit, files, clock, random};
    QPlainTextEdit bare;

    Lesson()
    {
        window.setEvents(form);
        qal::RunState& s = qal::test::stateOf(form);
        s.lessonLines[1] = "001.  Part B";
        s.lessonLines[3] = question;
        s.readingMode = 1;
        drive.drovnel();
        s.baseFolder = "c:\\drovnel";
        s.notesFilePath = "c:\\drovnel\\notes_Ann_Lee.txt";
        s.nextAssignmentMarker = "002";
        s.questionLabel = " <-<-<-<-  Q/A:   ";
        s.defaultAnswerPrompt = "Enter an answer.";

        // The bare widget: the question box's size, font and wrapping.
        const QPlainTextEdit* box = window.questionBox();
        bare.setFont(box->font());
        bare.setLineWrapMode(box->lineWrapMode());
        bare.setVerticalScrollBarPolicy(box->verticalScrollBarPolicy());
        bare.setHorizontalScrollBarPolicy(box->horizontalScrollBarPolicy());
        bare.resize(box->size());
        bare.setWindowTitle(QStringLiteral("bare"));
    }

    void fillNotes(std::size_t bytes)
    {
        const std::string notes = text(bytes, "\r\n");
        files.open(9, form.state().notesFilePath, qal::FileMode::Output);
        for (std::size_t start = 0; start < notes.size();) {
            const std::size_t end = std::min(notes.find("\r\n", start), notes.size());
            files.writeLine(9, notes.substr(start, end - start));
            start = end + 2;
        }
        files.close(9);
    }
};

struct Figure {
    const char* name;
    std::function<void()> prepare;  // untimed, before each command
    std::function<void()> command;  // the command, as its click runs it
    std::function<QString()> shown; // the text the command leaves in the box
};

int run(Lesson& lesson, const Figure& figure, int rounds)
{
    std::vector<double> ours, bare, ratios;
    for (int round = 0; round <= rounds; ++round) { // round 0 warms up
        double t[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            if ((k + round) % 2 == 0) {
                figure.prepare();
                QCoreApplication::processEvents();
                t[0] = timed(figure.command);
            } else {
                lesson.bare.setPlainText(QString());
                const QString shown = figure.shown();
                QCoreApplication::processEvents();
                t[1] = timed([&] { lesson.bare.setPlainText(shown); });
            }
        }
        if (lesson.window.questionBox()->document()->toRawText() != lesson.bare.document()->toRawText()) {
            std::fprintf(stderr, "%s: the box and the bare widget hold different texts\n", figure.name);
            return 1;
        }
        if (round > 0) {
            ours.push_back(t[0]);
            bare.push_back(t[1]);
            ratios.push_back(t[0] / t[1]);
        }
    }
    // One line of JSON a figure, for bench/run-all.py (the names hold no
    // character JSON would escape).
    std::printf("{\"figure\": \"%s\", \"ms\": %.3f, \"bare_ms\": %.3f, \"ratio\": %.4f}\n", figure.name,
                1e3 * median(ours), 1e3 * median(bare), median(ratios));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;

    Lesson lesson;
    lesson.fillNotes(1 << 20);
    lesson.window.move(0, 0);
    lesson.bare.move(lesson.window.width() + 10, 0);
    lesson.window.show();
    lesson.bare.show();
    if (!QTest::qWaitForWindowExposed(&lesson.window) || !QTest::qWaitForWindowExposed(&lesson.bare))
        return 1;

    qal::RunState& s = qal::test::stateOf(lesson.form);
    BenchToolkit& toolkit = lesson.toolkit;
    const std::string transcript = text(1 << 20, "\r\n");
    const std::string hundredKb = text(100 << 10, "\r\n");

    const Figure figures[] = {
        {"display everything (1 MB transcript)",
         [&] {
             s.cumulativeText = transcript;
             toolkit.setQuestionBoxText({});
         },
         [&] { lesson.form.cmd_displayCumulativeText_Click(); }, [&] { return qal::fromCoreText(transcript); }},
        {"display notes (1 MB notes file)",
         [&] {
             s.workingText.clear();
             toolkit.setQuestionBoxText({});
         },
         [&] { lesson.form.cmd_display_note_file_Click(); },
         [&] { return lesson.window.questionBox()->document()->toRawText(); }},
        {"Next Question (100 KB in the box)",
         [&] {
             s.lineCounter = 1;
             s.resetAnswerBox = false;
             s.cumulativeText.clear();
             toolkit.setQuestionBoxText(hundredKb);
         },
         [&] { lesson.form.cmdNextQuestion_Click(); },
         [&] {
             return qal::fromCoreText(hundredKb +
                                      "Give your depth vs. clock time data and explain how you obtained it.");
         }},
    };
    for (const Figure& figure : figures)
        if (int status = run(lesson, figure, rounds))
            return status;
    return 0;
}
