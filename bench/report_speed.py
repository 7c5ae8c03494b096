#!/usr/bin/env python3
"""qalesson-report over a 10 MB and a 1 GB master file: its speed beside cat
of the same file (taking turns, so that both meet the machine and the page
cache alike), and the peak memory (RSS) of the CSV, the workbook (--xlsx) and
the HTML page (--html) for each size (GNU time's maximum resident set size),
which stays flat for the CSV and the workbook however large the file.

The 10 MB master file is written here in the program's layout: header blocks,
responses of one line and of several (some with accented letters), notes;
the 1 GB one is a hundred of it. Both go to a temporary folder (with the
workbooks, and the workbook's own temporary files) and are deleted after.

Usage: bench/report_speed.py [BUILD_DIR] [ROUNDS]   (defaults: build, 3)
Prints a line for people and a line of JSON per size.
"""

import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

OPENING = b"......!!!!!!!!..................................."
CLOSING = b"................................................."
INDENT = b" " * 36


def master_file(path, size):
    rng = random.Random(7)
    words = [b"pendulum", b"period", b"string", b"swing", b"time", b"data", b"na\xefve", b"caf\xe9", b"r\xe9sultat",
             b"prediction", b"the", b"and", b"of", b"a", b"was", b"longer", b"shorter", b"1.95", b"s"]
    written = 0
    with open(path, "wb") as f:
        k = 0
        while written < size:
            block = []
            if k % 20 == 0:
                assignment = b"%03d" % (1 + k // 20 % 30)
                block += [bytes(rng.randrange(118, 256) for _ in range(24)), b"Student Name:  Ren\xe9e Dubois",
                          b"assignment #" + assignment, assignment + b".  Timing a pendulum", b"Initials:  RD",
                          b"Date and Time 12-07-202614:%02d:%02d" % (k // 60 % 60, k % 60)]
            question = b"`q%03d  " % (k % 12 + 1) + b" ".join(rng.choice(words) for _ in range(25)) + b"?"
            answer = [b" ".join(rng.choice(words) for _ in range(rng.randrange(5, 60)))
                      for _ in range(rng.choice((1, 1, 1, 2, 4)))]
            when = b"%02d:%02d:%02d" % (k // 3600 % 24, k // 60 % 60, k % 60)
            if k % 7 == 6:
                block += [OPENING, INDENT + when, INDENT + b"12-07-2026" + when, question, OPENING,
                          b"NOTES -------> " + answer[0]] + answer[1:] + [CLOSING]
            else:
                block += [OPENING, INDENT + when, b"", b"", b"`questionNumber %d " % (10000 + k % 12 + 1), question,
                          OPENING, b"RESPONSE -->  "] + answer + [CLOSING]
            data = b"".join(line + b"\r\n" for line in block)
            f.write(data)
            written += len(data)
            k += 1
    return written


def repeated(path, source, times):
    with open(path, "wb") as f:
        for _ in range(times):
            with open(source, "rb") as part:
                shutil.copyfileobj(part, f, 1 << 20)


def run(argv, env=None):
    """Wall time and peak memory (MiB) of one run, its output thrown away.

    The peak is GNU time's: a child of this Python process would count the
    memory Python held when it forked among its own."""
    with tempfile.NamedTemporaryFile("r") as usage:
        start = time.perf_counter()
        subprocess.run(["/usr/bin/time", "-o", usage.name, "-f", "%M"] + argv, stdout=subprocess.DEVNULL, env=env,
                       check=True)
        wall = time.perf_counter() - start
        return wall, int(usage.read().split()[-1]) / 1024


def measure_one(report, path, work, rounds):
    env = dict(os.environ, TMPDIR=work)  # the workbook's temporary files
    run(["cat", path])  # into the page cache first
    cats, csvs, csv_peaks = [], [], []
    for _ in range(rounds):
        cats.append(run(["cat", path])[0])
        wall, peak = run([report, path])
        csvs.append(wall)
        csv_peaks.append(peak)
    workbook = os.path.join(work, "answers.xlsx")
    xlsx_wall, xlsx_peak = run([report, "--xlsx", workbook, path], env)
    os.remove(workbook)
    html_wall, html_peak = run([report, "--html", path])
    csv, cat = statistics.median(csvs), statistics.median(cats)
    return {"bytes": os.path.getsize(path), "csv_s": csv, "cat_s": cat, "ratio": csv / cat,
            "csv_peak_mib": max(csv_peaks), "xlsx_s": xlsx_wall, "xlsx_peak_mib": xlsx_peak,
            "html_s": html_wall, "html_peak_mib": html_peak}


def measure(build, rounds=3):
    """The figures for the 10 MB file and the 1 GB one: {"small": ..., "large": ...}."""
    report = os.path.abspath(os.path.join(build, "qalesson-report"))
    with tempfile.TemporaryDirectory(prefix="qalesson-report-bench-") as work:
        small, large = os.path.join(work, "masterFile_10MB.txt"), os.path.join(work, "masterFile_1GB.txt")
        master_file(small, 10_000_000)
        figures = {"small": measure_one(report, small, work, rounds)}
        repeated(large, small, 100)
        figures["large"] = measure_one(report, large, work, rounds)
    return figures


def crafted_figures(build, rounds=3):
    """The files no run makes that the report's test reads (tests/instructor/report_cli.py: 1 GB of one line, of
    short lines, of closing separators, a record that never closes, one over 64 MiB, a 30 MB answer), each before
    a small master file: the CSV's time against cat of the same files (medians of `rounds`, taking turns), and the
    peak memory of the CSV, the workbook and the page. [{"file": ..., ...}, ...]"""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "instructor"))
    import report_cli
    report = os.path.abspath(os.path.join(build, "qalesson-report"))
    figures = []
    with tempfile.TemporaryDirectory(prefix="qalesson-crafted-bench-") as work:
        other = os.path.join(work, "masterFile_small.txt")
        master_file(other, 100_000)
        env = dict(os.environ, TMPDIR=work)
        for name, _, _ in report_cli.crafted_files(work, report_cli.GB):
            path = os.path.join(work, name)
            run(["cat", path, other])  # into the page cache first
            cats, csvs, peaks = [], [], {}
            for _ in range(rounds):
                cats.append(run(["cat", path, other])[0])
                wall, peak = run_status([report, path, other])
                csvs.append(wall)
                peaks["csv"] = max(peaks.get("csv", 0), peak)
            peaks["xlsx"] = run_status([report, "--xlsx", os.path.join(work, "o.xlsx"), path, other], env)[1]
            peaks["html"] = run_status([report, "--html", path, other])[1]
            figures.append({"file": name, "bytes": os.path.getsize(path), "csv_s": statistics.median(csvs),
                            "cat_s": statistics.median(cats), "csv_peak_mib": peaks["csv"],
                            "xlsx_peak_mib": peaks["xlsx"], "html_peak_mib": peaks["html"]})
            os.remove(path)
    return figures


def run_status(argv, env=None):
    """As run, for a report that warns (its exit status 1)."""
    with tempfile.NamedTemporaryFile("r") as usage:
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-o", usage.name, "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, env=env)
        wall = time.perf_counter() - start
        if done.returncode not in (0, 1):
            raise RuntimeError("%r ended with %d" % (argv, done.returncode))
        return wall, int(usage.read().split()[-1]) / 1024


def marked_workbook(report, work, records):
    """A workbook of `records` records, every row marked and commented: the
    report's own workbook of a master file of about that many records, its
    sheet given a mark and a comment in each row (inline texts, as the
    report writes its own) and its rows spread over forty students' files,
    zipped again."""
    import re
    import zipfile
    master = os.path.join(work, "masterFile_marked.txt")
    master_file(master, records * 750)  # about 740 bytes a record
    plain = os.path.join(work, "plain.xlsx")
    subprocess.run([report, "--xlsx", plain, master], check=True, env=dict(os.environ, TMPDIR=work))
    marked = os.path.join(work, "marked.xlsx")
    rows = 0
    with zipfile.ZipFile(plain) as source, zipfile.ZipFile(marked, "w", zipfile.ZIP_DEFLATED) as target:
        for item in source.infolist():
            data = source.read(item)
            if item.filename.startswith("xl/worksheets/sheet"):
                def mark(m):
                    row = m.group(1).decode()
                    if row == "1":
                        return m.group(0)  # the header row
                    return (b'<c r="L%s" t="inlineStr"><is><t>%d/10</t></is></c><c r="M%s" t="inlineStr"><is><t>'
                            b'Good, but show the steps.\nSee the second page.</t></is></c>'
                            % (row.encode(), int(row) % 11, row.encode())) + m.group(0)
                data, n = re.subn(rb'<c r="N(\d+)"', mark, data)
                rows += n - 1
                # A class of forty: the file each row came from names its
                # student's feedback files (the file is no part of the id).
                counter = iter(range(1 << 30))
                data = re.sub(rb"<t>[^<]*masterFile_marked\.txt</t>",
                              lambda m: b"<t>masterFile_Student_%d.txt</t>" % (next(counter) % 40), data)
            target.writestr(item, data)
    os.remove(plain)
    os.remove(master)
    return marked, rows


def feedback_figures(build, records=100_000, rounds=3):
    """--feedback on a workbook of `records` marked rows: its time (the least
    of `rounds`) and peak memory."""
    report = os.path.abspath(os.path.join(build, "qalesson-report"))
    with tempfile.TemporaryDirectory(prefix="qalesson-feedback-bench-") as work:
        marked, rows = marked_workbook(report, work, records)
        runs = []
        for n in range(rounds):
            out = os.path.join(work, "out%d" % n)
            runs.append(run([report, "--feedback", marked, "--out", out]))
            shutil.rmtree(out)
        return {"rows": rows, "bytes": os.path.getsize(marked), "feedback_s": min(r[0] for r in runs),
                "feedback_peak_mib": max(r[1] for r in runs)}


def workbook_turns(build, before, rounds=5):
    """--xlsx of this build and of `before` over the same 10 MB master file,
    taking turns (each first every other round): the median of the ratios."""
    return turns(build, before, ["--xlsx", None], 10_000_000, rounds)


def csv_turns(build, before, rounds=5):
    """The CSV of this build and of `before` over the same 100 MB master
    file, taking turns: the median of the ratios."""
    return turns(build, before, [], 100_000_000, rounds)


def turns(build, before, args, size, rounds):
    """The report of this build and of `before` with args (None: the
    workbook's path) over the same master file of about size bytes, taking
    turns (each first every other round): the medians of the times and of
    the ratios."""
    now = os.path.abspath(os.path.join(build, "qalesson-report"))
    then = os.path.abspath(os.path.join(before, "qalesson-report"))
    with tempfile.TemporaryDirectory(prefix="qalesson-turns-bench-") as work:
        master = os.path.join(work, "masterFile.txt")
        master_file(master, size)
        env = dict(os.environ, TMPDIR=work)
        book = os.path.join(work, "answers.xlsx")
        argv = [book if a is None else a for a in args] + [master]
        ratios, nows, thens = [], [], []
        for n in range(rounds):
            order = [now, then] if n % 2 == 0 else [then, now]
            times = {}
            for binary in order:
                times[binary] = run([binary] + argv, env)[0]
                if os.path.exists(book):
                    os.remove(book)
            nows.append(times[now])
            thens.append(times[then])
            ratios.append(times[now] / times[then])
        return {"now_s": statistics.median(nows), "before_s": statistics.median(thens),
                "ratio": statistics.median(ratios)}


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    figures = measure(build, rounds)
    for name, m in figures.items():
        print("%.0f MB: CSV %.3f s (%.0f MB/s), cat %.3f s, ratio %.1f; peak memory CSV %.1f MiB, "
              "workbook %.1f MiB (%.1f s), HTML %.1f MiB (%.1f s)"
              % (m["bytes"] / 1e6, m["csv_s"], m["bytes"] / 1e6 / m["csv_s"], m["cat_s"], m["ratio"],
                 m["csv_peak_mib"], m["xlsx_peak_mib"], m["xlsx_s"], m["html_peak_mib"], m["html_s"]))
    for name, m in figures.items():
        print(json.dumps(dict(m, size=name)))


if __name__ == "__main__":
    main()
