#!/usr/bin/env python3
"""Start-up time and memory of qalesson, and of the instructor's desk, against
the smallest Qt Widgets program that shows one input box (minimal_input_box),
measured side by side, in alternation, on one private X server.

Start-up: from just before the process is started to the moment the X server
maps its first window (qalesson's first prompt, the desk's first page), seen
by xev on the root window.
Memory: resident and proportional set size half a second after that, with the
prompt on screen; for qalesson also once the window is shown after start-up.

Usage: bench/startup.py [BUILD_DIR] [RUNS]     (defaults: build, 10)
"""

import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from xsession import Session, memory_kib, wait_map  # noqa: E402


def one_start(session, program):
    watcher = session.desktop.start_map_watch()
    try:
        start = time.monotonic()
        process = subprocess.Popen([program], env=session.env)
        shown = wait_map(watcher)
        time.sleep(0.5)
        rss, pss = memory_kib(process.pid)
        return process, (shown - start) * 1000, rss, pss
    finally:
        watcher.terminate()
        watcher.wait()


def measure(build, runs=10):
    """The medians over the runs, by program ("minimal input box", "qalesson"):
    start-up in ms, RSS and PSS in MiB; and qalesson's (RSS, PSS) in KiB with its
    window shown after start-up."""
    programs = {"minimal input box": os.path.join(build, "bench", "minimal_input_box"),
                "qalesson": os.path.join(build, "qalesson"),
                "qalesson desk": os.path.join(build, "qalesson-desk")}
    results = {name: [] for name in programs}
    window_memory = []
    with Session("qalesson-bench-", tools=("Xvfb", "xdotool", "xev", "stdbuf"),
                 extra_env={"LANG": "C.UTF-8"}) as session:
        for run in range(runs + 1):  # the first round warms the caches and is dropped
            for name, program in programs.items():
                process, ms, rss, pss = one_start(session, program)
                if run > 0:
                    results[name].append((ms, rss, pss))
                if name == "qalesson" and run == runs:
                    session.desktop.answer_prompts(process)
                    session.desktop.wait_window("Form1", process)
                    time.sleep(0.5)
                    window_memory.append(memory_kib(process.pid))
                process.terminate()
                process.wait()
    medians = {name: (statistics.median(r[0] for r in rows), statistics.median(r[1] for r in rows) / 1024,
                      statistics.median(r[2] for r in rows) / 1024)
               for name, rows in results.items()}
    return medians, window_memory[-1]


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    medians, window_memory = measure(build, runs)
    print("%-18s %14s %14s %14s" % ("program", "start-up ms", "RSS MiB", "PSS MiB"))
    for name, (ms, rss, pss) in medians.items():
        print("%-18s %14.1f %14.1f %14.1f" % (name, ms, rss, pss))
    ref, ours = medians["minimal input box"], medians["qalesson"]
    # PSS splits shared libraries among every process that maps them, so it
    # moves with whatever else runs on the machine; RSS is the comparison.
    print("qalesson / minimal: start-up %.2f, RSS %.2f (medians of %d runs; aims: 1.05 and 1.1 or less)"
          % (ours[0] / ref[0], ours[1] / ref[1], runs))
    desk = medians["qalesson desk"]
    print("qalesson desk / minimal: start-up %.2f, RSS %.2f; desk / qalesson: start-up %.2f (aim: 1.1 or less)"
          % (desk[0] / ref[0], desk[1] / ref[1], desk[0] / ours[0]))
    rss, pss = window_memory
    print("qalesson with its window shown after start-up: RSS %.1f MiB, PSS %.1f MiB" % (rss / 1024, pss / 1024))


if __name__ == "__main__":
    main()
