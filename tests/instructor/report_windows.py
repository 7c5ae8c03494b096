#!/usr/bin/env python3
"""The Windows build writes and reports byte for byte what the Linux build
does. The report scenario's files are written twice, by the Linux
report_files and by report_files.exe under Wine, and must be the same files
with the same names and bytes; then qalesson-report and qalesson-report.exe
read the same files (a whole report as CSV and as HTML, a torn tail, stray
text, a missing file, --help), and their standard output (byte for byte),
standard error (but for its line ends) and exit status must be the same.

  report_windows.py WINE_RUN REPORT REPORT_FILES REPORT_EXE REPORT_FILES_EXE
"""

import os
import subprocess
import sys
import tempfile


class Failure(Exception):
    pass


def files_under(folder):
    found = {}
    for root, _, names in os.walk(folder.encode()):
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder.encode())] = f.read()
    return found


def run(command, cwd):
    result = subprocess.run(command, cwd=cwd, capture_output=True, timeout=120)
    return result.returncode, result.stdout, result.stderr


def main():
    wine_run, report, report_files, report_exe, report_files_exe = map(os.path.abspath, sys.argv[1:6])
    with tempfile.TemporaryDirectory(prefix="qalesson-windows-report-") as work:
        linux = os.path.join(work, "linux")
        windows = os.path.join(work, "windows")
        os.mkdir(linux)
        os.mkdir(windows)
        subprocess.run([report_files, linux], check=True, timeout=60)
        # Wine hands the program a Unix path as one on drive Z:.
        subprocess.run([wine_run, report_files_exe, windows], check=True, timeout=120)
        written_linux = files_under(linux)
        written_windows = files_under(windows)
        if sorted(written_windows) != sorted(written_linux):
            raise Failure("file names: Windows %r, Linux %r" % (sorted(written_windows), sorted(written_linux)))
        for name, data in written_linux.items():
            if written_windows[name] != data:
                raise Failure("%r differs: Windows %r, Linux %r" % (name, written_windows[name][:200], data[:200]))

        folder = os.path.join(linux, "drovnel")
        names = sorted(n for n in os.listdir(folder.encode()) if n.endswith(b".txt"))
        with open(os.path.join(folder.encode(), names[0]), "rb") as f:
            master = f.read()
        with open(os.path.join(folder, "torn.txt"), "wb") as f:
            f.write(master[:-70])
        with open(os.path.join(folder, "stray.txt"), "wb") as f:
            f.write((b"Dear instructor,\r\nhere it is.\r\n\r\n" + master).replace(b"\r\n", b"\n"))
        cases = [
            names,
            [b"--html"] + names,
            [b"torn.txt"],
            [b"stray.txt"],
            [b"missing.txt", names[0]],
            [b"--help"],
            [b"--bogus", b"x.txt"],
        ]
        for args in cases:
            expected = run([report.encode()] + args, folder)
            status, out, err = run([wine_run.encode(), report_exe.encode()] + args, folder)
            # Messages to standard error end their lines as the system's own
            # do (CR LF on Windows); standard output carries the report's
            # bytes exactly.
            got = (status, out, err.replace(b"\r\n", b"\n"))
            if got != expected:
                raise Failure("qalesson-report %r:\n Windows %r\n Linux   %r" % (args, got, expected))
            if expected[0] == 0 and not expected[1]:
                raise Failure("qalesson-report %r printed nothing" % (args,))
        # The shell of Windows leaves send_*.txt to the program, which reads
        # every file it matches (in the order of their names), as the Linux
        # build reads what its shell expanded; run straight and from cmd.exe.
        sends = sorted(n for n in names if n.startswith(b"send_"))
        expected = run([report.encode()] + sends, folder)
        windows_exe = b"Z:" + report_exe.encode().replace(b"/", b"\\")
        for command in ([wine_run.encode(), report_exe.encode(), b"send_*.txt"],
                        [wine_run.encode(), b"cmd", b"/c", windows_exe, b"send_*.txt"],
                        [wine_run.encode(), report_exe.encode(), b"send_1207Ren?e_Dubois.txt", b"no_*.txt"]):
            status, out, err = run(command, folder)
            if command[-1] == b"no_*.txt":
                renee = [n for n in sends if n.startswith(b"send_1207Ren")]
                want = run([report.encode()] + renee + [b"no_*.txt"], folder)
            else:
                want = expected
            got = (status, out, err.replace(b"\r\n", b"\n"))
            if command[-1] == b"no_*.txt":
                # A pattern that matches nothing is read as the name it is,
                # which Windows calls invalid in its own words.
                want = (want[0], want[1], want[2].replace(b"it does not exist.", b"Invalid name."))
            if got != want or len(sends) < 2:
                raise Failure("%r:\n Windows %r\n Linux   %r" % (command[1:], got[:1] + (got[2],), want[:1] + (want[2],)))
        print("report_windows: %d files written alike, %d reports alike, wildcards expanded"
              % (len(written_linux), len(cases)))


if __name__ == "__main__":
    try:
        main()
    except Failure as e:
        print("report_windows: %s" % e, file=sys.stderr)
        sys.exit(1)
