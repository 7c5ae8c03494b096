#!/usr/bin/env python3
"""Speed of qalesson-report over a 100 MB master file, beside cat of the same
file, taking turns in one run so that both meet the machine (and the page
cache) alike; and over a 10 MB master file, to show that the time is linear.

The master file is written here in the program's layout: header blocks,
responses of one line and of several (some with accented letters), notes.

Usage: bench/report_speed.py [BUILD_DIR] [ROUNDS]   (defaults: build, 5)
Prints: report 100 MB: <s> s = <MB/s> MB/s; cat: <s> s; ratio <r>; 10 MB: <s> s
"""

import os
import random
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


def timed(argv):
    start = time.perf_counter()
    subprocess.run(argv, stdout=subprocess.DEVNULL, check=True)
    return time.perf_counter() - start


def measure(build, rounds=5):
    report = os.path.join(build, "qalesson-report")
    with tempfile.TemporaryDirectory() as work:
        big, small = os.path.join(work, "masterFile_Big.txt"), os.path.join(work, "masterFile_Small.txt")
        size = master_file(big, 100_000_000)
        master_file(small, 10_000_000)
        timed(["cat", big])  # into the page cache first
        timed([report, big])
        timed([report, small])
        reports, cats, ratios, smalls = [], [], [], []
        for _ in range(rounds):
            c = timed(["cat", big])
            r = timed([report, big])
            s = timed([report, small])
            cats.append(c)
            reports.append(r)
            smalls.append(s)
            ratios.append(r / c)
    r, c = statistics.median(reports), statistics.median(cats)
    return {"mb": size / 1e6, "report": r, "cat": c, "ratio": statistics.median(ratios),
            "small": statistics.median(smalls), "mbps": size / 1e6 / r, "linear": r / statistics.median(smalls)}


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    m = measure(build, rounds)
    print("report %.0f MB: %.3f s = %.0f MB/s; cat: %.3f s; ratio %.1f; 10 MB: %.3f s; 100 MB / 10 MB: %.1f"
          % (m["mb"], m["report"], m["mbps"], m["cat"], m["ratio"], m["small"], m["linear"]))


if __name__ == "__main__":
    main()
