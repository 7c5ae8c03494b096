#!/usr/bin/env python3
"""Runs every benchmark and prints each figure as a ratio to its reference.

  record cost with a 100 MB master file   / the same record with an empty one   (aim: 1.1 or less)
  record cost                             / its floor: the bare three durable steps (aim: 1.2 or less)
                                            (bench/DurableFloor.h), taking turns in one loop
  record cost of this build               / of an earlier revision (--before)   (runs taking turns)
  display notes over a 10 MB notes file   / over a 1 MB one                     (linear: about 10)
  start-up to the first prompt, memory    / a minimal Qt input box program      (aim: 1.05 and 1.1 or less)
  the desk's start-up to its first page   / the same program, taking turns      (aim: 1.1 or less)
  pendulum tick cost, 4000 circles drawn  / none drawn yet                       (flat: about 1)
  qalesson-report over a 10 MB and a 1 GB / cat of the same file                 (aim: 6 or less)
    master file, and its peak memory        over the 1 GB file / over the 10 MB one (flat: 1.5 or less)
  qalesson-report over crafted files       / cat of the same files               (as measured)
    (1 GB of one line, of short lines, ...)   and its peak memory / 64 MiB (100 MiB for a 30 MB answer)
  qalesson-report --feedback over 100,000  / 2 s and 200 MiB                     (aim: 1 or less)
    marked rows, time and peak memory
  qalesson-report --xlsx with its new     / the same of a build before them      (aim: 1.15 or less)
    columns (--report-before), taking turns
  display everything, display notes and   / a bare QPlainTextEdit's setPlainText (aim: 1.1 or less)
    Next Question in the real window        of the same text, taking turns

Usage: bench/run-all.py [BUILD_DIR] [PENDULUM_SECONDS] [--before BEFORE_BUILD_DIR] [--report-only]
                        [--report-before BEFORE_BUILD_DIR] [--feedback-only] [--crafted-only]
                        (defaults: build, 60)
The build must have the benchmarks (QALESSON_BUILD_BENCH, on by default).
--before names a build of an earlier revision with its record benchmark, made
for instance with
  git worktree add /tmp/before REV
  cmake -S /tmp/before -B /tmp/before/build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build /tmp/before/build --target record_bench
"""

import argparse
import json
import os
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "support"))
from xsession import Session  # noqa: E402
import report_speed  # noqa: E402
import startup  # noqa: E402


def record_figures(build):
    # Ten repetitions. A record's cost is mostly fsync, and the disk adds
    # delays of its own that drift from second to second: the figure that
    # counts has both records take turns in one loop (the median of its ten
    # ratios); the separate runs are shown by their least.
    out = subprocess.run([os.path.join(build, "bench", "record_bench"), "--benchmark_format=json",
                          "--benchmark_repetitions=10"],
                         check=True, capture_output=True, text=True).stdout
    least, cpu, side, floor = {}, {}, [], []
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") == "iteration" and b["run_name"].startswith("BM_EnterResponseSideBySide"):
            side.append((b["full_per_empty"], b["full_ms"], b["empty_ms"]))
        elif b.get("run_type") == "iteration" and b["run_name"].startswith("BM_EnterResponseAgainstFloor"):
            floor.append((b["record_per_floor"], b["record_ms"], b["floor_ms"]))
        elif b.get("run_type") == "iteration":
            least[b["run_name"]] = min(least.get(b["run_name"], float("inf")), b["real_time"])
            cpu[b["run_name"]] = min(cpu.get(b["run_name"], float("inf")), b["cpu_time"])

    def find(prefix, times=least):
        return next(v for k, v in times.items() if k.startswith(prefix))

    empty, full = find("BM_EnterResponse/0"), find("BM_EnterResponse/100")
    cpu_empty, cpu_full = find("BM_EnterResponse/0", cpu), find("BM_EnterResponse/100", cpu)
    small, large = find("BM_DisplayNotes/1048576"), find("BM_DisplayNotes/10485760")
    ratio, full_ms, empty_ms = sorted(side)[len(side) // 2]
    floor_ratio, record_ms, floor_ms = sorted(floor)[len(floor) // 2]
    return [
        ("Enter Response / its floor (the three durable steps alone), taking turns in one loop",
         "%.2f ms / %.2f ms" % (record_ms, floor_ms), floor_ratio, "<= 1.2"),
        ("Enter Response, 100 MB master / empty master, taking turns in one loop",
         "%.2f ms / %.2f ms" % (full_ms, empty_ms), ratio, "<= 1.1"),
        ("the same, each in a run of its own", "%.2f ms / %.2f ms" % (full, empty), full / empty, "<= 1.1"),
        ("the same, processor time only (no disk wait)", "%.2f ms / %.2f ms" % (cpu_full, cpu_empty),
         cpu_full / cpu_empty, "<= 1.1"),
        ("display notes, 10 MB / 1 MB notes file", "%.1f ms / %.1f ms" % (large, small), large / small, "~10 (linear)"),
    ]


def record_before_after(build, before, rounds=8):
    # Two programs cannot take turns inside one loop; their runs take turns
    # instead, each going first every other round, and each round's figure
    # is the least of three repetitions. The medians over the rounds compare.
    def one(folder):
        out = subprocess.run([os.path.join(folder, "bench", "record_bench"), "--benchmark_format=json",
                              "--benchmark_filter=^BM_EnterResponse/0/", "--benchmark_repetitions=3",
                              "--benchmark_min_time=0.3"],
                             check=True, capture_output=True, text=True).stdout
        runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]
        return min(b["real_time"] for b in runs), min(b["cpu_time"] for b in runs)

    now, then = [], []
    for k in range(rounds):
        for folder in ((build, before) if k % 2 == 0 else (before, build)):
            (now if folder == build else then).append(one(folder))

    def median(values):
        values = sorted(values)
        return values[len(values) // 2]

    real_now, real_then = median([r for r, _ in now]), median([r for r, _ in then])
    cpu_now, cpu_then = median([c for _, c in now]), median([c for _, c in then])
    return [
        ("Enter Response, this build / the earlier revision, runs taking turns",
         "%.2f ms / %.2f ms" % (real_now, real_then), real_now / real_then, "< 1"),
        ("the same, processor time only", "%.3f ms / %.3f ms" % (cpu_now, cpu_then), cpu_now / cpu_then, "~1"),
    ]


def json_lines(out):
    """The figures a benchmark program prints as lines of JSON among its
    human-readable ones."""
    return [json.loads(line) for line in out.splitlines() if line.startswith("{")]


def startup_figures(build):
    medians, _ = startup.measure(build)
    ref, ours, desk = medians["minimal input box"], medians["qalesson"], medians["qalesson desk"]
    return [
        ("start-up to first prompt / minimal Qt", "%.0f ms / %.0f ms" % (ours[0], ref[0]), ours[0] / ref[0], "<= 1.05"),
        ("the same, processor time to the prompt waiting on screen", "%.1f ms / %.1f ms" % (ours[3], ref[3]),
         ours[3] / ref[3], "<= 1.05"),
        ("memory (RSS) / minimal Qt", "%.1f MiB / %.1f MiB" % (ours[1], ref[1]), ours[1] / ref[1], "<= 1.1"),
        ("desk start-up to its first page / minimal Qt, taking turns", "%.0f ms / %.0f ms" % (desk[0], ref[0]),
         desk[0] / ref[0], "<= 1.1"),
    ]


def pendulum_figures(build, seconds):
    # Let the write-back of the record benchmark's 100 MB settle first.
    os.sync()
    with Session("qalesson-bench-", extra_env={"LANG": "C.UTF-8"}) as session:
        out = subprocess.run([os.path.join(build, "bench", "pendulum_bench"), str(seconds)], env=session.env,
                             check=True, capture_output=True, text=True).stdout
        # The machine's speed drifts over a minute; a fresh pane and one
        # holding 4000 circles taking turns tick by tick meet the same speed.
        side = subprocess.run([os.path.join(build, "bench", "pendulum_bench"), "--side-by-side", "2000"],
                              env=session.env, check=True, capture_output=True, text=True).stdout
    [run] = json_lines(out)
    [turns] = json_lines(side)
    core, rate = run["core_percent"], run["ticks_per_second"]
    fresh, full = turns["fresh_us_per_tick"], turns["full_us_per_tick"]
    return [
        ("pendulum tick cost, pane with 4000 circles / fresh pane, taking turns",
         "%.0f us / %.0f us" % (full, fresh), full / fresh, "~1 (flat)"),
        ("pendulum, %.1f ticks a second" % rate, "%.2f %% of one core" % core, core / 5.0, "< 1 (5 % of a core)"),
    ]


def report_figures(build, before=None):
    # cat and the report take turns over the same file in the page cache;
    # the peak memory of each form of the report, for a 10 MB and a 1 GB
    # master file.
    m = report_speed.measure(build)
    small, large = m["small"], m["large"]
    rows = []
    for name, f in (("10 MB", small), ("1 GB", large)):
        rows.append(("qalesson-report CSV, %s master file (%.0f MB/s) / cat of it" % (name, f["bytes"] / 1e6 / f["csv_s"]),
                     "%.3f s / %.3f s" % (f["csv_s"], f["cat_s"]), f["ratio"], "<= 6"))
    rows.append(("qalesson-report CSV, 1 GB / 10 MB master file", "%.3f s / %.3f s" % (large["csv_s"], small["csv_s"]),
                 large["csv_s"] / small["csv_s"], "~100 (linear)"))
    for form, key, aim in (("CSV", "csv_peak_mib", "<= 1.5 (flat), < 64 MiB"),
                           ("--xlsx", "xlsx_peak_mib", "<= 1.5 (flat), < 64 MiB"),
                           ("--html", "html_peak_mib", "one assignment's records at a time")):
        rows.append(("qalesson-report %s, peak memory, 1 GB / 10 MB master file" % form,
                     "%.1f MiB / %.1f MiB" % (large[key], small[key]), large[key] / small[key], aim))
    rows.append(("qalesson-report --xlsx, 1 GB master file / CSV of it", "%.1f s / %.1f s" % (large["xlsx_s"], large["csv_s"]),
                 large["xlsx_s"] / large["csv_s"], "(compression)"))
    return rows + crafted_rows(build) + feedback_rows(build, before)


def crafted_rows(build):
    # The files no run makes that the report's test reads, each before a
    # small master file: the CSV against cat of the same files, and the peak
    # memory of each form against its limit (64 MiB; 100 MiB for the 30 MB
    # answer).
    rows = []
    for f in report_speed.crafted_figures(build):
        what = "%s (%.0f MB) and a 0.1 MB master file" % (f["file"], f["bytes"] / 1e6)
        rows.append(("qalesson-report CSV, crafted %s / cat of them" % what, "%.3f s / %.3f s" % (f["csv_s"], f["cat_s"]),
                     f["csv_s"] / f["cat_s"], "(as measured)"))
        limit = 100 if f["file"] == "answer30.txt" else 64
        peak = max(f["csv_peak_mib"], f["xlsx_peak_mib"], f["html_peak_mib"])
        rows.append(("qalesson-report peak memory, crafted %s: CSV / --xlsx / --html, the most / %d MiB" % (what, limit),
                     "%.1f / %.1f / %.1f MiB" % (f["csv_peak_mib"], f["xlsx_peak_mib"], f["html_peak_mib"]),
                     peak / limit, "< 1"))
    return rows


def feedback_rows(build, before=None):
    # --feedback over a workbook of 100,000 marked rows against its aims
    # (2 s, 200 MiB); with a build from before the workbook's new columns,
    # --xlsx of both over one master file, taking turns.
    f = report_speed.feedback_figures(build)
    rows = [("qalesson-report --feedback, %d marked rows (%.0f MB workbook) / 2 s" % (f["rows"], f["bytes"] / 1e6),
             "%.2f s" % f["feedback_s"], f["feedback_s"] / 2, "<= 1"),
            ("qalesson-report --feedback, peak memory, %d marked rows / 200 MiB" % f["rows"],
             "%.1f MiB" % f["feedback_peak_mib"], f["feedback_peak_mib"] / 200, "<= 1")]
    if before:
        t = report_speed.workbook_turns(build, before)
        rows.append(("qalesson-report --xlsx with mark, comment and id / the build before them, 10 MB master "
                     "file, taking turns", "%.2f s / %.2f s" % (t["now_s"], t["before_s"]), t["ratio"], "<= 1.15"))
        t = report_speed.csv_turns(build, before)
        rows.append(("qalesson-report CSV / the build given as before, 100 MB master file, taking turns",
                     "%.3f s / %.3f s" % (t["now_s"], t["before_s"]), t["ratio"], "<= 1.1"))
    return rows


def window_figures(build):
    # The commands that fill the question box and the bare widget take
    # turns in one run, each timed from the click to the repaint after it.
    with Session("qalesson-bench-", extra_env={"LANG": "C.UTF-8"}) as session:
        out = subprocess.run([os.path.join(build, "bench", "window_bench"), "30"], env=session.env,
                             check=True, capture_output=True, text=True).stdout
    rows = [("%s / bare QPlainTextEdit, taking turns" % f["figure"], "%.2f ms / %.2f ms" % (f["ms"], f["bare_ms"]),
             f["ratio"], "<= 1.1") for f in json_lines(out)]
    if len(rows) != 3:
        raise RuntimeError("window_bench gave:\n" + out)
    return rows


def main():
    parser = argparse.ArgumentParser(description="Runs every benchmark; see the top of this file.")
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("seconds", nargs="?", type=int, default=60)
    parser.add_argument("--before", help="a build of an earlier revision, to compare a record's cost with")
    parser.add_argument("--records-only", action="store_true", help="the record figures only")
    parser.add_argument("--report-only", action="store_true", help="the report's figures only")
    parser.add_argument("--report-before", help="a build of an earlier revision, to compare the workbook with")
    parser.add_argument("--feedback-only", action="store_true", help="--feedback's figures (and --report-before's)")
    parser.add_argument("--crafted-only", action="store_true", help="the report's figures on crafted files only")
    args = parser.parse_args()
    if args.crafted_only:
        rows = crafted_rows(args.build)
        args.records_only = True
    elif args.feedback_only:
        rows = feedback_rows(args.build, args.report_before)
        args.records_only = True
    elif args.report_only:
        rows = report_figures(args.build, args.report_before)
        args.records_only = True
    else:
        rows = record_figures(args.build)
    if args.before:
        rows += record_before_after(args.build, args.before)
    if not args.records_only:
        rows += (report_figures(args.build, args.report_before) + startup_figures(args.build) + window_figures(args.build)
                 + pendulum_figures(args.build, args.seconds))
    print("| figure | measured | ratio | aim |")
    print("|---|---|---|---|")
    for name, measured, ratio, aim in rows:
        print("| %s | %s | %.2f | %s |" % (name, measured, ratio, aim))


if __name__ == "__main__":
    main()
