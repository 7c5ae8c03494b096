// The pendulum of the real window, timed from inside: the window is shown,
// "pend exp" is clicked, and for a minute (or the given number of seconds)
// every tick is counted. Prints the ticks a second and the processor time a
// tick costs, everything included (the circle, the repaint of its rectangle,
// the beep), for each run of 500 ticks, so that a cost growing with the
// number of circles on the pane shows as a rising column.
//
// With --side-by-side N, two windows instead take turns: one with a fresh
// pane, one whose pane already holds 4000 circles; each gets N ticks, one
// after the other's, and the processor time of a tick is given for both. The
// machine's speed drifts from one minute to the next, but it is the same for
// both windows, so their ratio shows whether a tick's cost grows with the
// circles drawn.
//
// Needs a display (bench/pendulum.py starts Xvfb).
// Usage: pendulum_bench [seconds] | pendulum_bench --side-by-side N

#include "platform/Clock.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "run/LessonForm.h"
#include "window/MainWindow.h"
#include "window/PicturePane.h"
#include "window/QtToolkit.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

// One window with its own core, as the program has it.
struct Lesson {
    qal::FileTable files;
    qal::SystemClock clock;
    qal::Random random;
    qal::MainWindow window;
    qal::QtToolkit toolkit{window};
    qal::LessonForm form{toolkit, files, clock, random};

    Lesson()
    {
        // The scale start-up gives the panes.
        for (qal::Pane pane : {qal::Pane::Picture1, qal::Pane::Picture2}) {
            toolkit.setPaneScaleHeight(pane, 1000);
            toolkit.setPaneScaleWidth(pane, 1000);
        }
        window.setEvents(form);
        random.seed(12345.0f);
    }
    // One tick, drawn and on the screen before it returns.
    void tick()
    {
        form.tmr_pend_exp_Timer();
        QCoreApplication::processEvents();
    }
};

int sideBySide(int ticks)
{
    Lesson fresh, full;
    for (Lesson* lesson : {&fresh, &full}) {
        lesson->window.show();
        if (!QTest::qWaitForWindowExposed(&lesson->window))
            return 1;
        lesson->form.cmd_pend_exp_Click();
        lesson->window.setTimerEnabled(false); // ticks are given by hand here
    }
    // Circles drawn past the form, so that both windows' ticks then draw the
    // same radii from the same sequence.
    qal::Random other;
    other.seed(54321.0f);
    for (int i = 0; i < 4000; ++i) {
        full.toolkit.drawCircle(qal::Pane::Picture1, 500, 500, other.next() * 500);
        QCoreApplication::processEvents();
    }
    // The window on top costs more to draw on than the one under it, so each
    // is on top for half of the ticks.
    double cpu[2] = {0, 0};
    for (int i = 0; i < ticks; ++i) {
        if (i == 0 || i == ticks / 2) {
            (i == 0 ? fresh : full).window.raise();
            QCoreApplication::processEvents();
        }
        for (int k = 0; k < 2; ++k) {
            const int which = (k + i) % 2; // each goes first every other time
            const double start = processCpuSeconds();
            (which ? full : fresh).tick();
            cpu[which] += processCpuSeconds() - start;
        }
    }
    std::printf("side by side: %d ticks each\n", ticks);
    std::printf("fresh pane: %.1f us/tick cpu, %d circles at the end\n", 1e6 * cpu[0] / ticks,
                fresh.window.pane(qal::Pane::Picture1)->circlesShown());
    std::printf("full pane: %.1f us/tick cpu, %d circles at the end\n", 1e6 * cpu[1] / ticks,
                full.window.pane(qal::Pane::Picture1)->circlesShown());
    std::printf("full / fresh: %.2f\n", cpu[1] / cpu[0]);
    // The same figures for bench/run-all.py, as one line of JSON.
    std::printf("{\"fresh_us_per_tick\": %.3f, \"full_us_per_tick\": %.3f}\n", 1e6 * cpu[0] / ticks,
                1e6 * cpu[1] / ticks);
    return 0;
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc > 2 && std::string(argv[1]) == "--side-by-side")
        return sideBySide(std::atoi(argv[2]));
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    constexpr int bucket = 500;

    qal::FileTable files;
    qal::SystemClock clock;
    qal::Random random;
    qal::MainWindow window;
    qal::QtToolkit toolkit(window);
    qal::LessonForm form(toolkit, files, clock, random);
    // The scale start-up gives the panes.
    for (qal::Pane pane : {qal::Pane::Picture1, qal::Pane::Picture2}) {
        toolkit.setPaneScaleHeight(pane, 1000);
        toolkit.setPaneScaleWidth(pane, 1000);
    }

    int ticks = 0;
    std::vector<double> cpuAtBucket{processCpuSeconds()};
    std::vector<double> wallAtBucket{wallSeconds()};
    // The form's events, with the ticks counted after each has run.
    struct CountedTicks : qal::FormEvents {
        qal::LessonForm& form;
        std::function<void()> counted;
        CountedTicks(qal::LessonForm& f, std::function<void()> c) : form(f), counted(std::move(c)) {}
        void handle(const qal::EventRow& event) override
        {
            form.handle(event);
            if (event.handler == &qal::LessonForm::tmr_pend_exp_Timer)
                counted();
        }
        void windowClosed() override { form.windowClosed(); }
    } events(form, [&] {
        if (++ticks % bucket == 0) {
            cpuAtBucket.push_back(processCpuSeconds());
            wallAtBucket.push_back(wallSeconds());
        }
    });
    window.setEvents(events);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;

    const double cpu0 = processCpuSeconds();
    const double wall0 = wallSeconds();
    cpuAtBucket = {cpu0};
    wallAtBucket = {wall0};
    form.cmd_pend_exp_Click();
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    QApplication::exec();
    const double cpu = processCpuSeconds() - cpu0;
    const double wall = wallSeconds() - wall0;

    std::printf("ticks: %d in %.1f s = %.1f a second (15 ms timer: 66.7)\n", ticks, wall, ticks / wall);
    std::printf("processor: %.2f s = %.2f %% of one core\n", cpu, 100.0 * cpu / wall);
    std::printf("circles still on the pane: %d\n", window.pane(qal::Pane::Picture1)->circlesShown());
    std::printf("%-14s %12s %12s\n", "ticks", "us/tick cpu", "ticks/s");
    for (std::size_t i = 1; i < cpuAtBucket.size(); ++i)
        std::printf("%5zu - %-6zu %12.1f %12.1f\n", (i - 1) * bucket + 1, i * bucket,
                    1e6 * (cpuAtBucket[i] - cpuAtBucket[i - 1]) / bucket,
                    bucket / (wallAtBucket[i] - wallAtBucket[i - 1]));
    // The figures for bench/run-all.py, as one line of JSON.
    std::printf("{\"ticks_per_second\": %.3f, \"core_percent\": %.3f}\n", ticks / wall, 100.0 * cpu / wall);
    return 0;
}
