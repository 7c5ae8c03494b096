#!/usr/bin/env python3
"""qalesson --check as an instructor runs it: without a display, with a home
folder and a drive C: of its own that must stay empty (it writes nothing).

The sample lesson checks clean (status 0, nothing printed); a lesson with
faults gives one "LESSON:LINE: error|warning: TEXT" line each, sorted by line,
and status 1; a missing file status 2 and a line on standard error.

Usage: check_cli.py QALESSON_BINARY SAMPLE_LESSON
"""

import os
import re
import subprocess
import sys
import tempfile

FINDING = re.compile(r"^(?P<file>.+):(?P<line>[0-9]+): (?P<severity>error|warning): (?P<text>\S.*)$")

FAULTY = (b"001.  A lesson with faults\r\n"
          b"\r\n"
          b"`q1  Weigh the sand.\r\n"
          b"002 kg of sand\r\n"
          b"\r\n"
          b"002.  Second\r\n"
          b"`routine grpah1\r\n"
          b"`routineexitprog\r\n"
          b"101.  Too high\r\n")

# (line, severity, a piece of the text) for FAULTY, in order.
EXPECTED = [
    (3, "warning", "reads it as 1,"),
    (4, "warning", "begins with 002"),
    (7, "error", 'unknown routine "grpah1"'),
    (8, "error", 'unknown routine "xitprog"'),
    (8, "warning", "right after another"),
    (8, "warning", "ninth character"),
    (9, "error", "assignment 101 can never be opened"),
    (9, "warning", "the header of assignment 101 inside assignment 002"),
]

CONTROLS = [
    (b"001.  Controls\r\n\r\n`q1  Weigh it.\r\n`routine gr\x1b[2J\x07\x81\r\n",
     'unknown routine "gr\\x1b[2j\\x07\\u0081"'),
    (b"001.  Controls\r\n\r\n`q1  Weigh it.\r\n`routine gr\xc2\x9b2J\r\n", "\\u009b"),
]


class Failure(Exception):
    pass


def run(binary, args, home, drive):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    env.update(HOME=home, QALESSON_DRIVE_C=drive)
    env["QT_QPA_PLATFORM"] = "xcb"  # would fail at once if the toolkit started
    return subprocess.run([binary, *args], env=env, capture_output=True, timeout=30)


def main():
    binary, sample = sys.argv[1], os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory() as work:
        home, drive = os.path.join(work, "home"), os.path.join(work, "c")
        os.mkdir(home)
        os.mkdir(drive)
        faulty = os.path.join(work, "faulty lesson.txt")
        with open(faulty, "wb") as f:
            f.write(FAULTY)
        try:
            result = run(binary, ["--check", sample], home, drive)
            if (result.returncode, result.stdout, result.stderr) != (0, b"", b""):
                raise Failure("the sample lesson: %r" % (result,))

            result = run(binary, ["--check", faulty], home, drive)
            if result.returncode != 1 or result.stderr:
                raise Failure("the faulty lesson: status %d, stderr %r" % (result.returncode, result.stderr))
            lines = result.stdout.decode("utf-8").splitlines()
            if len(lines) != len(EXPECTED):
                raise Failure("the faulty lesson gave %d findings:\n%s" % (len(lines), "\n".join(lines)))
            for got, (line, severity, part) in zip(lines, EXPECTED):
                m = FINDING.match(got)
                if not m or m["file"] != faulty or int(m["line"]) != line or m["severity"] != severity \
                        or part not in m["text"]:
                    raise Failure("expected line %d %s %r, got %r" % (line, severity, part, got))

            # A routine name's control characters are shown escaped, ESC, BEL
            # and the C1 ones (U+0081 from Windows-1252, U+009B from UTF-8)
            # alike: (lesson bytes, the finding's text expected).
            for text, expected in CONTROLS:
                with open(faulty, "wb") as f:
                    f.write(text)
                result = run(binary, ["--check", faulty], home, drive)
                found = result.stdout.decode("utf-8")
                if result.returncode != 1 or expected not in found or re.search("[\x00-\x09\x0b-\x1f\x7f-\x9f]", found):
                    raise Failure("control characters in a routine name: %r" % (result,))

            missing = os.path.join(work, "missing.txt")
            result = run(binary, ["--check", missing], home, drive)
            expected = ('qalesson: cannot check the lesson file "%s": it does not exist.\n' % missing).encode()
            if (result.returncode, result.stdout, result.stderr) != (2, b"", expected):
                raise Failure("a missing lesson: %r" % (result,))

            # A FIFO no one writes to, an endless device, a folder: refused at
            # once (the run's timeout catches a wait); a name's control
            # characters shown escaped.
            fifo = os.path.join(work, "fifo.txt")
            os.mkfifo(fifo)
            for special, reason in ((fifo, "it is not a plain file (a pipe or a device)"),
                                    ("/dev/zero", "it is not a plain file (a pipe or a device)"),
                                    (work, "it is a folder, not a file"),
                                    (os.path.join(work, "esc\x1b[2J\n.txt"), "it does not exist")):
                result = run(binary, ["--check", special], home, drive)
                shown = special.replace("\x1b", "\\x1b").replace("\n", "\\n")
                expected = ('qalesson: cannot check the lesson file "%s": %s.\n' % (shown, reason)).encode()
                if (result.returncode, result.stdout, result.stderr) != (2, b"", expected):
                    raise Failure("--check %r: %r" % (special, result))
            os.remove(fifo)

            result = run(binary, ["--check", faulty, "--lesson", sample], home, drive)
            if result.returncode != 2 or not result.stderr.startswith(b"qalesson: two lesson files given"):
                raise Failure("--check beside --lesson: %r" % (result,))

            for folder in (home, drive):
                if os.listdir(folder):
                    raise Failure("--check wrote into %s: %s" % (folder, os.listdir(folder)))
        except Failure as failure:
            print("FAIL: %s" % failure)
            return 1
    print("check: sample clean, findings at their lines, exit statuses, nothing written")
    return 0


if __name__ == "__main__":
    sys.exit(main())
