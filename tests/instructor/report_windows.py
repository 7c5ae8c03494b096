#!/usr/bin/env python3
"""The Windows build writes and reports byte for byte what the Linux build
does. The report scenario's files are written twice, by the Linux
report_files and by report_files.exe under Wine, and must be the same files
with the same names and bytes; then qalesson-report and qalesson-report.exe
read the same files (a whole report as CSV and as HTML, a torn tail, stray
text, a missing file, --help), and their standard output (byte for byte),
standard error (but for its line ends) and exit status must be the same.
A workbook (--xlsx) must hold the same parts with the same bytes, but for
the zip's dates and the time of writing in its properties; the workbook
marked by openpyxl must give the same feedback files (--feedback), the same
warnings and the same status. Run with Debian's python3, for openpyxl.

  report_windows.py WINE_RUN REPORT REPORT_FILES REPORT_EXE REPORT_FILES_EXE
"""

import os
import re
import shutil
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


def workbook_parts(path):
    """The workbook's parts in their order, with their bytes; the zip's
    dates and the time of writing in docProps/core.xml left out."""
    import zipfile
    with zipfile.ZipFile(path) as book:
        parts = []
        for info in book.infolist():
            data = book.read(info)
            if info.filename == "docProps/core.xml":
                data = re.sub(rb"(<dcterms:(created|modified)[^>]*>)[^<]*", rb"\1", data)
            parts.append((info.filename, info.compress_type, data))
        return parts


def mark(workbook, marked):
    """Every record row marked (a number, "7/10", "A-") with a comment of
    several lines holding lesson syntax; one row with an id of no record,
    one row that repeats the first one's id alone."""
    import openpyxl
    book = openpyxl.load_workbook(workbook)
    sheet = book["records"]
    header = [c.value for c in sheet[1]]
    mark_col, comment_col, id_col = (header.index(n) + 1 for n in ("mark", "comment", "id"))
    marks = [7, "7/10", "A-", 4.5]
    comments = [None, "Good, but:\nshow the steps.", "####.#\n`routine exitprog\n`q", "Zoë: 5 €"]
    last = sheet.max_row
    for row in range(2, last + 1):
        sheet.cell(row, mark_col, marks[row % len(marks)])
        sheet.cell(row, comment_col, comments[row % len(comments)])
    sheet.cell(last + 1, id_col, "q" + "0" * 32)
    sheet.cell(last + 1, mark_col, 1)
    sheet.cell(last + 2, id_col, sheet.cell(2, id_col).value)
    sheet.cell(last + 2, mark_col, 9)
    book.save(marked)
    return last - 1


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

        # The workbook, written by each; then the one Linux wrote, marked,
        # read back by each.
        expected = run([report.encode(), b"--xlsx", b"linux.xlsx"] + names, folder)
        got = run([wine_run.encode(), report_exe.encode(), b"--xlsx", b"windows.xlsx"] + names, folder)
        if (got[0], got[2].replace(b"\r\n", b"\n")) != (expected[0], expected[2]) or expected[0] != 0:
            raise Failure("--xlsx:\n Windows %r\n Linux   %r" % (got, expected))
        linux_parts = workbook_parts(os.path.join(folder, "linux.xlsx"))
        windows_parts = workbook_parts(os.path.join(folder, "windows.xlsx"))
        if [p[0] for p in windows_parts] != [p[0] for p in linux_parts]:
            raise Failure("--xlsx parts: Windows %r, Linux %r" % ([p[0] for p in windows_parts], [p[0] for p in linux_parts]))
        for linux_part, windows_part in zip(linux_parts, windows_parts):
            if windows_part != linux_part:
                raise Failure("--xlsx part %s differs:\n Windows %r\n Linux   %r"
                              % (linux_part[0], windows_part[2][:300], linux_part[2][:300]))
        marked_rows = mark(os.path.join(folder, "linux.xlsx"), os.path.join(folder, "marked.xlsx"))
        expected = run([report.encode(), b"--feedback", b"marked.xlsx", b"--out", b"fb-linux"], folder)
        got = run([wine_run.encode(), report_exe.encode(), b"--feedback", b"marked.xlsx", b"--out", b"fb-windows"], folder)
        got = (got[0], got[1], got[2].replace(b"\r\n", b"\n"))
        if got != expected or expected[0] != 1 or b"q%s names no record" % (b"0" * 32) not in expected[2]:
            raise Failure("--feedback:\n Windows %r\n Linux   %r" % (got, expected))
        feedback_linux = files_under(os.path.join(folder, "fb-linux"))
        feedback_windows = files_under(os.path.join(folder, "fb-windows"))
        if sorted(feedback_windows) != sorted(feedback_linux) or len(feedback_linux) < 4:
            raise Failure("--feedback files: Windows %r, Linux %r" % (sorted(feedback_windows), sorted(feedback_linux)))
        for name, data in feedback_linux.items():
            if feedback_windows[name] != data:
                raise Failure("--feedback %r differs: Windows %r, Linux %r" % (name, feedback_windows[name][:200], data[:200]))
        # What is no marked workbook is refused alike.
        shutil.copy(os.path.join(folder.encode(), names[0]), os.path.join(folder, "not a workbook.xlsx"))
        for args in ([b"--feedback", b"marks.csv"], [b"--feedback", b"not a workbook.xlsx"], [b"--feedback", b"none.xlsx"]):
            expected = run([report.encode()] + args, folder)
            status, out, err = run([wine_run.encode(), report_exe.encode()] + args, folder)
            if (status, out, err.replace(b"\r\n", b"\n")) != expected or expected[0] != 2:
                raise Failure("qalesson-report %r:\n Windows %r\n Linux   %r" % (args, (status, out, err), expected))

        print("report_windows: %d files written alike, %d reports alike, wildcards expanded, "
              "workbooks alike (%d parts), feedback alike (%d files from %d marked rows)"
              % (len(written_linux), len(cases), len(linux_parts), len(feedback_linux), marked_rows))


if __name__ == "__main__":
    try:
        main()
    except Failure as e:
        print("report_windows: %s" % e, file=sys.stderr)
        sys.exit(1)
