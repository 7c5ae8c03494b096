#!/usr/bin/env python3
"""Start-up time and memory of qalesson, and of the instructor's desk, against
the smallest Qt Widgets program that shows one input box (minimal_input_box),
measured side by side, in alternation, on one private X server.

Start-up: from just before the process is started to the moment the X server
maps its first window (qalesson's first prompt, the desk's first page), seen
by xev on the root window.
Memory: resident and proportional set size half a second after that, with the
prompt on screen; for qalesson also once the window is shown after start-up.
Processor time: what the process (all its threads) had used by then, waiting
at the prompt: the start-up's work without the waits, which holds its ratio
on a busy machine where the wall-clock time does not.

With --before BEFORE_BUILD_DIR, that build's qalesson takes its turn too,
and its start-up is set beside this build's: a change's figure from one run
on one machine, whatever else the machine is doing meanwhile.

Usage: bench/startup.py [BUILD_DIR] [RUNS] [--before BEFORE_BUILD_DIR]     (defaults: build, 10)
"""

import argparse
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from xsession import Session, memory_kib, wait_map  # noqa: E402


def cpu_ms(pid):
    """The processor time of every thread of a process so far, in ms (from
    schedstat, in nanoseconds: /proc's stat counts in ticks of 10 ms)."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
            total += int(f.read().split()[0])
    return total / 1e6


def one_start(session, program):
    watcher = session.desktop.start_map_watch()
    try:
        start = time.monotonic()
        process = subprocess.Popen([program], env=session.env)
        shown = wait_map(watcher)
        time.sleep(0.5)
        rss, pss = memory_kib(process.pid)
        return process, (shown - start) * 1000, rss, pss, cpu_ms(process.pid)
    finally:
        watcher.terminate()
        watcher.wait()


def measure(build, runs=10, before=None):
    """The medians over the runs, by program ("minimal input box", "qalesson",
    "qalesson desk", and "qalesson before" with a before build): start-up in
    ms, RSS and PSS in MiB, processor time in ms; and qalesson's (RSS, PSS) in
    KiB with its window shown after start-up."""
    programs = {"minimal input box": os.path.join(build, "bench", "minimal_input_box"),
                "qalesson": os.path.join(build, "qalesson"),
                "qalesson desk": os.path.join(build, "qalesson-desk")}
    if before:
        programs["qalesson before"] = os.path.join(before, "qalesson")
    results = {name: [] for name in programs}
    window_memory = []
    with Session("qalesson-bench-", tools=("Xvfb", "xdotool", "xev", "stdbuf"),
                 extra_env={"LANG": "C.UTF-8"}) as session:
        names = list(programs)
        for run in range(runs + 1):  # the first round warms the caches and is dropped
            # Each round starts with the next program, so that none always
            # follows the same one.
            turn = run % len(names)
            for name in names[turn:] + names[:turn]:
                program = programs[name]
                process, ms, rss, pss, cpu = one_start(session, program)
                if run > 0:
                    results[name].append((ms, rss, pss, cpu))
                if name == "qalesson" and run == runs:
                    session.desktop.answer_prompts(process)
                    session.desktop.wait_window("Form1", process)
                    time.sleep(0.5)
                    window_memory.append(memory_kib(process.pid))
                process.terminate()
                process.wait()
    medians = {name: (statistics.median(r[0] for r in rows), statistics.median(r[1] for r in rows) / 1024,
                      statistics.median(r[2] for r in rows) / 1024, statistics.median(r[3] for r in rows))
               for name, rows in results.items()}
    return medians, window_memory[-1]


def main():
    parser = argparse.ArgumentParser(description="Start-up and memory against a minimal Qt input box.")
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("runs", nargs="?", type=int, default=10)
    parser.add_argument("--before", help="a build of an earlier revision whose qalesson takes turns too")
    args = parser.parse_args()
    build, runs = args.build, args.runs
    medians, window_memory = measure(build, runs, args.before)
    print("%-18s %14s %14s %14s %14s" % ("program", "start-up ms", "RSS MiB", "PSS MiB", "processor ms"))
    for name, (ms, rss, pss, cpu) in medians.items():
        print("%-18s %14.1f %14.1f %14.1f %14.1f" % (name, ms, rss, pss, cpu))
    ref, ours = medians["minimal input box"], medians["qalesson"]
    # PSS splits shared libraries among every process that maps them, so it
    # moves with whatever else runs on the machine; RSS is the comparison.
    print("qalesson / minimal: start-up %.2f, RSS %.2f (medians of %d runs; aims: 1.05 and 1.1 or less); "
          "processor time %.2f" % (ours[0] / ref[0], ours[1] / ref[1], runs, ours[3] / ref[3]))
    desk = medians["qalesson desk"]
    print("qalesson desk / minimal: start-up %.2f, RSS %.2f; desk / qalesson: start-up %.2f (aim: 1.1 or less)"
          % (desk[0] / ref[0], desk[1] / ref[1], desk[0] / ours[0]))
    if args.before:
        then = medians["qalesson before"]
        print("qalesson before / minimal: start-up %.2f, RSS %.2f, processor time %.2f; qalesson / qalesson before: "
              "start-up %.2f, RSS %.2f, processor time %.2f"
              % (then[0] / ref[0], then[1] / ref[1], then[3] / ref[3], ours[0] / then[0], ours[1] / then[1],
                 ours[3] / then[3]))
    rss, pss = window_memory
    print("qalesson with its window shown after start-up: RSS %.1f MiB, PSS %.1f MiB" % (rss / 1024, pss / 1024))


if __name__ == "__main__":
    main()
