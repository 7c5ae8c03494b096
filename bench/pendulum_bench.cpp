// The pendulum of the real window, timed from inside: the window is shown,
// "pend exp" is clicked, and for a minute (or the given number of seconds)
// every tick is counted. Prints the ticks a second and the processor time a
// tick costs, everything included (the circle, the repaint of its rectangle,
// the beep), for each run of 500 ticks, so that a cost growing with the
// number of circles on the pane shows as a rising column.
//
// Needs a display (bench/pendulum.py starts Xvfb). Usage: pendulum_bench [seconds]

#include "platform/Clock.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "run/LessonForm.h"
#include "window/FormHandlers.h"
#include "window/MainWindow.h"
#include "window/PicturePane.h"
#include "window/QtToolkit.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <ctime>
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

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
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
    qal::FormHandlers handlers = qal::FormHandlers::of(form);
    const auto tick = handlers.tmr_pend_exp_Timer;
    handlers.tmr_pend_exp_Timer = [&] {
        tick();
        if (++ticks % bucket == 0) {
            cpuAtBucket.push_back(processCpuSeconds());
            wallAtBucket.push_back(wallSeconds());
        }
    };
    window.setHandlers(handlers);
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
    return 0;
}
