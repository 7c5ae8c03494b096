#!/usr/bin/env python3
"""qalesson-report on the files the program's own recording code wrote (the
report scenario: two students, two runs of one of them, a multi-line answer,
notes, accents), read back with an independent reader: Python's csv module
for the CSV, headless Chromium for the HTML page.

  report_cli.py csv  REPORT_BINARY REPORT_FILES_BINARY
  report_cli.py html REPORT_BINARY REPORT_FILES_BINARY

csv: every row and field, the byte order mark and CR LF row ends; a torn
tail, stray text, a missing file and wrong options, with their warnings and
exit statuses. html: the page is self-contained, and in Chromium's DOM the
assignments, questions and entries are in their order, every text is text
(no markup of the students' comes alive) and line breaks are kept.
"""

import csv
import html.parser
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile

RENEE = "Renée Dubois"
Q1 = "`q001  What is 1/2 + 1/3?"
Q2 = '`q002  Où est la différence?  Explain, "carefully".'
Q21 = "`q001  The second assignment's question"
MULTI = 'line one\nline two, with a comma and "quotes"'
NOTE = "<b>not bold</b> & a note"
ACCENTS = "€5 — naïve"
HEADER = ["file", "student", "initials", "assignment", "date", "time", "kind", "record", "question", "text"]

MASTER_R = "masterFile_Renée_Dubois.txt"
SEND_R = "send_1207Renée_Dubois.txt"
NOTES_R = "notes_Renée_Dubois.txt"
MASTER_B = "masterFile_Bob_Ng.txt"
SEND_B = "send_1207Bob_Ng.txt"


def renee_rows(file, master):
    def rec(n):
        return n if master else ""
    return [
        [file, RENEE, "RD", "001", "2026-12-07", "14:05:10", "response", rec("10001"), Q1, "5/6"],
        [file, RENEE, "RD", "001", "2026-12-07", "14:07:00", "response", rec("10002"), Q2, MULTI],
        [file, RENEE, "RD", "001", "2026-12-07", "14:08:30", "notes", "", Q2, NOTE],
        [file, RENEE, "RD", "002", "2026-12-07", "15:12:00", "response", rec("20001"), Q21, ACCENTS],
    ]


def bob_rows(file, master):
    return [
        [file, "Bob Ng", "BN", "001", "2026-12-07", "16:01:00", "response", "10001" if master else "", Q1, "=1+1"],
        [file, "Bob Ng", "BN", "001", "2026-12-07", "16:02:00", "notes", "", Q1, ""],
    ]


class Failure(Exception):
    pass


def file_name(name):
    # The program names the files after the student, in UTF-8 on the host.
    return name.encode("utf-8")


def report(binary, folder, *args):
    argv = [binary.encode()] + [a if isinstance(a, bytes) else a.encode() for a in args]
    return subprocess.run(argv, cwd=folder, capture_output=True, timeout=60)


def parse_csv(out):
    if not out.startswith(b"\xef\xbb\xbf" + ",".join(HEADER).encode() + b"\r\n"):
        raise Failure("the CSV does not start with the byte order mark and the header row: %r" % out[:100])
    if out and not out.endswith(b"\r\n"):
        raise Failure("the last row does not end in CR LF")
    rows = list(csv.reader(io.StringIO(out.decode("utf-8-sig"), newline="")))
    if rows[0] != HEADER:
        raise Failure("header row %r" % rows[0])
    for row in rows:
        if len(row) != len(HEADER):
            raise Failure("a row of %d fields: %r" % (len(row), row))
    return rows[1:]


def expect(what, got, expected):
    if got != expected:
        raise Failure("%s:\n got      %r\n expected %r" % (what, got, expected))


def csv_checks(binary, folder):
    files = [MASTER_R, SEND_R, NOTES_R, MASTER_B, SEND_B]
    result = report(binary, folder, *[file_name(f) for f in files])
    expect("status and standard error of a whole report", (result.returncode, result.stderr), (0, b""))
    expected = (renee_rows(MASTER_R, True) + renee_rows(SEND_R, False)
                + [["notes_Renée_Dubois.txt", "", "", "", "2026-12-07", "14:08:30", "notes", "", Q2, NOTE]]
                + bob_rows(MASTER_B, True) + bob_rows(SEND_B, False))
    expect("rows of the whole report", parse_csv(result.stdout), expected)

    # A torn tail: the master file cut in the middle of its last record.
    with open(os.path.join(folder.encode(), file_name(MASTER_R)), "rb") as f:
        master = f.read()
    with open(os.path.join(folder, "torn.txt"), "wb") as f:
        f.write(master[:-70])
    result = report(binary, folder, "torn.txt")
    expect("status of a torn tail", result.returncode, 1)
    if not re.fullmatch(rb"torn\.txt:41: warning: a record cut short \(lines 41 to 48\): skipped\n", result.stderr):
        raise Failure("torn tail warning %r" % result.stderr)
    expect("rows of a torn tail", parse_csv(result.stdout), renee_rows("torn.txt", True)[:3])

    # Stray text before the first header block, with LF line ends alone.
    with open(os.path.join(folder.encode(), file_name(SEND_R)), "rb") as f:
        send = f.read()
    with open(os.path.join(folder, "stray.txt"), "wb") as f:
        f.write((b"Dear instructor,\r\nhere it is.\r\n\r\n" + send).replace(b"\r\n", b"\n"))
    result = report(binary, folder, "stray.txt")
    expect("stray text", (result.returncode, result.stderr),
           (1, b"stray.txt:1: warning: text that is not a header block or record (lines 1 to 2): skipped\n"))
    expect("rows after stray text", parse_csv(result.stdout), renee_rows("stray.txt", False))

    # A file that cannot be read: status 2, the others still reported.
    result = report(binary, folder, "missing.txt", file_name(MASTER_B))
    expect("status with a missing file", result.returncode, 2)
    expect("standard error with a missing file", result.stderr,
           b'qalesson-report: cannot read "missing.txt": it does not exist.\n')
    expect("rows beside a missing file", parse_csv(result.stdout), bob_rows(MASTER_B, True))

    for args in ([], ["--bogus", "x.txt"]):
        result = report(binary, folder, *args)
        if result.returncode != 2 or b"Usage: qalesson-report" not in result.stderr:
            raise Failure("%r gave %r" % (args, result))
    result = report(binary, folder, "--help")
    if result.returncode != 0 or not result.stdout.startswith(b"Usage: qalesson-report [--html] FILE..."):
        raise Failure("--help gave %r" % (result,))


class Dom(html.parser.HTMLParser):
    """The headings and entries of the page, as the browser built it."""

    def __init__(self):
        super().__init__()
        self.items, self.tags, self.stack, self.text = [], set(), [], None

    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        cls = dict(attrs).get("class", "") or ""
        kind = tag if tag in ("h2", "h3") else "who" if cls == "who" else "text" if cls.startswith("text") else None
        self.stack.append(kind)
        if kind:
            self.text = ""

    def handle_endtag(self, tag):
        kind = self.stack.pop() if self.stack else None
        if kind:
            self.items.append((kind, self.text))
            self.text = None

    def handle_data(self, data):
        if self.text is not None:
            self.text += data


def chromium_dom(page):
    profile = tempfile.mkdtemp(prefix="qalesson-chromium-")
    try:
        result = subprocess.run(
            ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + profile, "--dump-dom", "file://" + page],
            capture_output=True, timeout=120)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    if result.returncode != 0 or b"<body>" not in result.stdout:
        raise Failure("chromium gave status %d: %r" % (result.returncode, result.stderr[-2000:]))
    return result.stdout.decode("utf-8")


def html_checks(binary, folder):
    result = report(binary, folder, "--html", file_name(MASTER_B), file_name(SEND_R), file_name(NOTES_R))
    expect("status of the HTML page", (result.returncode, result.stderr), (0, b""))
    page = result.stdout.decode("utf-8")
    for pattern in (r"<script", r"<link", r"\ssrc=", r"\shref=", r"url\(", r"@import"):
        if re.search(pattern, page, re.I):
            raise Failure("the page is not self-contained: %s" % pattern)
    path = os.path.join(folder, "report.html")
    with open(path, "w", encoding="utf-8") as f:
        f.write(page)
    dom = Dom()
    dom.feed(chromium_dom(path))
    if "b" in dom.tags:
        raise Failure("a student's <b> became an element")

    def who(name, initials, kind, when, file, line):
        return ("who", "%s (%s) · %s · 2026-12-07 %s · %s:%d" % (name, initials, kind, when, file, line))

    def who_nobody(kind, when, file, line):
        return ("who", "(no name) · %s · 2026-12-07 %s · %s:%d" % (kind, when, file, line))
    expected = [
        ("h2", "Assignment 001 001.  Fractions & <ratios>"),
        ("h3", Q1),
        who("Bob Ng", "BN", "response", "16:01:00", MASTER_B, 7), ("text", "=1+1"),
        who("Bob Ng", "BN", "note", "16:02:00", MASTER_B, 17), ("text", "(empty)"),
        who(RENEE, "RD", "response", "14:05:10", SEND_R, 7), ("text", "5/6"),
        ("h3", Q2),
        who(RENEE, "RD", "response", "14:07:00", SEND_R, 14), ("text", MULTI),
        who(RENEE, "RD", "note", "14:08:30", SEND_R, 22), ("text", NOTE),
        ("h2", "Assignment 002 002.  Second part"),
        ("h3", Q21),
        who(RENEE, "RD", "response", "15:12:00", SEND_R, 35), ("text", ACCENTS),
        ("h2", "Without a header block"),
        ("h3", Q2),
        who_nobody("note", "14:08:30", NOTES_R, 1), ("text", NOTE),
    ]
    expect("headings and entries in Chromium", dom.items, expected)


def main():
    mode, binary, writer = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([writer, work], check=True, timeout=60)
        folder = os.path.join(work, "drovnel")
        try:
            if mode == "csv":
                csv_checks(binary, folder)
            else:
                html_checks(binary, folder)
        except Failure as failure:
            print("FAIL: %s" % failure)
            return 1
    print("report %s: passed" % mode)
    return 0


if __name__ == "__main__":
    sys.exit(main())
