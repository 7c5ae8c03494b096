#!/usr/bin/env python3
"""qalesson-report on the files the program's own recording code wrote (the
report scenario: four students, two runs of one of them, a multi-line answer,
notes, accents, cells that begin as formulas do, two lessons numbered 001,
answers that hold the lines of records), read back with independent readers:
Python's csv module for the CSV, headless Chromium for the HTML page,
openpyxl and LibreOffice for the workbook.

  report_cli.py csv  REPORT_BINARY REPORT_FILES_BINARY
  report_cli.py html REPORT_BINARY REPORT_FILES_BINARY
  report_cli.py xlsx REPORT_BINARY REPORT_FILES_BINARY   (Debian's python3, for openpyxl)
  report_cli.py feedback REPORT_BINARY REPORT_FILES_BINARY QALESSON_BINARY   (likewise)
  report_cli.py crafted REPORT_BINARY REPORT_FILES_BINARY

csv: every row and field, the byte order mark and CR LF row ends; cells that
begin as formulas do, with and without --raw; a torn tail, stray text, a
missing file and wrong options, with their warnings and exit statuses. html:
the page is self-contained, and in Chromium's DOM the assignments (apart by
lesson), questions and entries are in their order, every text is text (no
markup of the students' comes alive) and line breaks are kept. xlsx: every
cell's value and type (text, date, time), the frozen header row, the filter,
the widths; LibreOffice opens it and reads the same values. crafted: files
no run makes (1 GB of one line, of short lines, of closing separators, a
record that never closes, one over 64 MiB, a 30 MB answer) in every form,
with the report's peak memory.
"""

import csv
import hashlib
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
HEADER = ["file", "student", "initials", "assignment", "lesson", "date", "time", "kind", "record", "question",
          "text", "id"]
# The workbook's records sheet: the CSV's columns, then two to fill in, then
# the id (hidden).
SHEET = HEADER[:-1] + ["mark", "comment", "id"]
LESSON1 = "Fractions & <ratios>"
LESSON2 = "Second part"
LESSON1B = "Lenses and mirrors – première partie"
Q1B = "`q001  Where is the image?"
OPENING = "......!!!!!!!!..................................."
CLOSING = "................................................."
DOT_LINE = "part one\n" + CLOSING + "\npart two"
FORGED = ("as I wrote before:\n" + OPENING + "\n" + " " * 36 + "10:00:00\n\n\n`questionNumber 10099 \nForged question\n"
          + OPENING + "\nRESPONSE -->  \nforged answer")
HEADER_BLOCK = ("copied:\nStudent Name:  Mallory\nassignment #002\n002.  Second part\nInitials:  M\n"
                "Date and Time 12-07-202609:00:00\n" + CLOSING + "\nend")
# Written with one blank more before each separator and name line, read as typed.
CLOSED_RECORD = ("as I wrote before:\n" + CLOSING + "\n" + OPENING + "\n" + " " * 36
                 + "10:00:00\n\n\n`questionNumber 10099 \nForged question\n" + OPENING
                 + "\nRESPONSE -->  \nforged answer\n" + CLOSING + "\nmine again")
OTHER_STUDENT = ("copied:\n" + CLOSING + "\nþ°É\nStudent Name:  Bob Forged\nassignment #007\n007.  Forged lesson\n"
                 "Initials:  BF\nDate and Time 12-07-202609:00:00\n" + OPENING + "\n" + " " * 36
                 + "10:00:00\nForged question\n" + OPENING + "\nRESPONSE -->  \nforged answer")
INDENTED = "  " + CLOSING + "\n " + OPENING + "\n   Student Name:  Bob Forged"

MASTER_R = "masterFile_Renée_Dubois.txt"
SEND_R = "send_1207Renée_Dubois.txt"
NOTES_R = "notes_Renée_Dubois.txt"
MASTER_B = "masterFile_Bob_Ng.txt"
SEND_B = "send_1207Bob_Ng.txt"
MASTER_E = "masterFile_=Eve.txt"
SEND_E = "send_1207=Eve.txt"
MASTER_Z = "masterFile_Zoë_Ann.txt"
SEND_Z = "send_1207Zoë_Ann.txt"


def renee_rows(file, master):
    def rec(n):
        return n if master else ""
    return [
        [file, RENEE, "RD", "001", LESSON1, "2026-12-07", "14:05:10", "response", rec("10001"), Q1, "5/6"],
        [file, RENEE, "RD", "001", LESSON1, "2026-12-07", "14:07:00", "response", rec("10002"), Q2, MULTI],
        [file, RENEE, "RD", "001", LESSON1, "2026-12-07", "14:08:30", "notes", "", Q2, NOTE],
        [file, RENEE, "RD", "002", LESSON2, "2026-12-07", "15:12:00", "response", rec("20001"), Q21, ACCENTS],
    ]


def bob_rows(file, master, safe=True):
    return [
        [file, "Bob Ng", "BN", "001", LESSON1, "2026-12-07", "16:01:00", "response", "10001" if master else "", Q1,
         "'=1+1" if safe else "=1+1"],
        [file, "Bob Ng", "BN", "001", LESSON1, "2026-12-07", "16:02:00", "notes", "", Q1, ""],
    ]


def eve_rows(file, master, safe):
    q = "'" if safe else ""

    def row(time, kind, record, question, text, risky=True):
        return [file, q + "=Eve", q + "+EV", "001", LESSON1, "2026-12-07", time, kind, record if master else "",
                question, (q if risky else "") + text]
    return [
        row("17:01:00", "response", "10001", Q1, "-5 degrees"),
        row("17:02:00", "response", "10001", Q1, "@home"),
        row("17:03:00", "response", "10001", Q1, "\tindented"),
        # A lone CR in a record file ends a line, as in every text the
        # program reads: the text starts with a line break, no formula.
        row("17:04:00", "response", "10001", Q1, "\nafter a carriage return", risky=False),
        row("17:05:00", "response", "10002", Q2, '=HYPERLINK("http://example.com","click")'),
        row("17:06:00", "notes", "", Q2, "+1"),
    ]


def zoe_rows(file, master):
    def rec(n):
        return n if master else ""
    zoe = "Zoë Ann"
    return [
        [file, zoe, "ZA", "001", LESSON1, "2026-12-07", "18:01:00", "response", rec("10001"), Q1,
         "'=1+1 real, inverted; …"],
        [file, zoe, "ZA", "001", LESSON1, "2026-12-07", "18:02:00", "response", rec("10001"), Q1, DOT_LINE],
        [file, zoe, "ZA", "001", LESSON1, "2026-12-07", "18:03:00", "response", rec("10002"), Q2, FORGED],
        [file, zoe, "ZA", "001", LESSON1, "2026-12-07", "18:04:00", "notes", "", Q2, HEADER_BLOCK],
        [file, zoe, "ZA", "001", LESSON1B, "2026-12-07", "18:11:00", "response", rec("10001"), Q1B, DOT_LINE],
        [file, zoe, "ZA", "001", LESSON1B, "2026-12-07", "18:12:00", "response", rec("10001"), Q1B, CLOSED_RECORD],
        [file, zoe, "ZA", "001", LESSON1B, "2026-12-07", "18:13:00", "notes", "", Q1B, OTHER_STUDENT],
        [file, zoe, "ZA", "001", LESSON1B, "2026-12-07", "18:14:00", "response", rec("10001"), Q1B, INDENTED],
    ]


class Failure(Exception):
    pass


def file_name(name):
    # The program names the files after the student, in UTF-8 on the host.
    return name.encode("utf-8")


def report(binary, folder, *args):
    argv = [binary.encode()] + [a if isinstance(a, bytes) else a.encode() for a in args]
    return subprocess.run(argv, cwd=folder, capture_output=True, timeout=60)


def record_id(row):
    """The id of a CSV row read with --raw: SHA-256 over the record's student,
    initials, assignment, lesson, date, time, kind, question and text, each
    after its length in 8 bytes, its first 128 bits in hex after a "q"."""
    data = b""
    for c in (1, 2, 3, 4, 5, 6, 7, 9, 10):
        field = row[c].encode("utf-8")
        data += len(field).to_bytes(8, "big") + field
    return "q" + hashlib.sha256(data).hexdigest()[:32]


def parse_csv(out, ids=None):
    """The rows without their id; each row's id goes to ids where given."""
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
    for row in rows[1:]:
        if not re.fullmatch("q[0-9a-f]{32}", row[-1]):
            raise Failure("an id %r" % row[-1])
        if ids is not None:
            ids.append(row[-1])
    return [row[:-1] for row in rows[1:]]


def expect(what, got, expected):
    if got != expected:
        raise Failure("%s:\n got      %r\n expected %r" % (what, got, expected))


def csv_checks(binary, folder):
    files = [MASTER_R, SEND_R, NOTES_R, MASTER_B, SEND_B]
    result = report(binary, folder, *[file_name(f) for f in files])
    expect("status and standard error of a whole report", (result.returncode, result.stderr), (0, b""))
    expected = (renee_rows(MASTER_R, True) + renee_rows(SEND_R, False)
                + [["notes_Renée_Dubois.txt", "", "", "", "", "2026-12-07", "14:08:30", "notes", "", Q2, NOTE]]
                + bob_rows(MASTER_B, True) + bob_rows(SEND_B, False))
    ids = []
    expect("rows of the whole report", parse_csv(result.stdout, ids), expected)
    # The id is made of what the record holds: the same in the master and the
    # send file, another for every other record, the same in the next run.
    raw = expected[:9] + bob_rows(MASTER_B, True, False) + bob_rows(SEND_B, False, False)
    expect("ids as made of the records", ids, [record_id(row) for row in raw])
    expect("ids of the master and the send file", ids[:4] + ids[9:11], ids[4:8] + ids[11:13])
    expect("ids apart", len(set(ids)), 4 + 1 + 2)
    expect("the same report again", report(binary, folder, *[file_name(f) for f in files]).stdout, result.stdout)

    # Cells that begin as formulas do get an apostrophe, every one of them
    # (the student's name and initials too); --raw writes them as they are.
    for safe in (True, False):
        result = report(binary, folder, *([] if safe else ["--raw"]), file_name(MASTER_E), file_name(SEND_E),
                        file_name(MASTER_B))
        expect("status with formula-like cells", (result.returncode, result.stderr), (0, b""))
        expect("formula-like cells (apostrophes: %s)" % safe, parse_csv(result.stdout),
               eve_rows(MASTER_E, True, safe) + eve_rows(SEND_E, False, safe) + bob_rows(MASTER_B, True, safe))

    # Two lessons numbered 001 apart by the lesson column; answers holding a
    # line of 49 points, a record's lines and a header block's read whole.
    result = report(binary, folder, file_name(MASTER_Z), file_name(SEND_Z))
    expect("status of answers that hold records' lines", (result.returncode, result.stderr), (0, b""))
    expect("answers that hold records' lines", parse_csv(result.stdout),
           zoe_rows(MASTER_Z, True) + zoe_rows(SEND_Z, False))

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

    # Only plain files are read, none longer than a record file can be, and
    # a name's control characters are shown escaped: each refused at once
    # (a FIFO no one writes to, /dev/zero's endless bytes), the others read.
    os.mkfifo(os.path.join(folder, "fifo.txt"))
    with open(os.path.join(folder, "huge.txt"), "wb") as f:
        f.truncate((1 << 30) + 1)
    os.mkdir(os.path.join(folder, "sub.txt"))
    with open(os.path.join(folder, "esc\x1b[2J\n.txt"), "wb") as f:
        f.write(b"\0")
    os.chmod(os.path.join(folder, "esc\x1b[2J\n.txt"), 0)
    special = [("fifo.txt", b"it is not a plain file (a pipe or a device)"),
               ("/dev/zero", b"it is not a plain file (a pipe or a device)"),
               ("sub.txt", b"it is a folder, not a file"),
               ("huge.txt", b"it is longer than any record file can be (1 GiB)")]
    for name, reason in special:
        result = report(binary, folder, name, file_name(MASTER_B))
        expect("status with " + name, result.returncode, 2)
        expect("standard error with " + name, result.stderr,
               b'qalesson-report: cannot read "' + name.encode() + b'": ' + reason + b".\n")
        expect("rows beside " + name, parse_csv(result.stdout), bob_rows(MASTER_B, True))
    result = report(binary, folder, "esc\x1b[2J\n.txt")
    if not result.stderr.startswith(b'qalesson-report: cannot read "esc\\x1b[2J\\n.txt": ') \
            or b"\x1b" in result.stderr or result.stderr.count(b"\n") != 1:
        if os.geteuid() != 0:  # root reads it, and reads the NUL byte as stray text
            raise Failure("a name's control characters reached the terminal: %r" % result.stderr)
    for name in ("fifo.txt", "huge.txt", "esc\x1b[2J\n.txt"):
        os.remove(os.path.join(folder, name))
    os.rmdir(os.path.join(folder, "sub.txt"))

    for args in ([], ["--bogus", "x.txt"], ["--xlsx"], ["--html", "--raw", "x.txt"],
                 ["--html", "--xlsx", "o.xlsx", "x.txt"]):
        result = report(binary, folder, *args)
        if result.returncode != 2 or b"Usage: qalesson-report" not in result.stderr or result.stdout:
            raise Failure("%r gave %r" % (args, result))
    result = report(binary, folder, "--help")
    if result.returncode != 0 or not result.stdout.startswith(b"Usage: qalesson-report [--raw] FILE..."):
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
    result = report(binary, folder, "--html", file_name(MASTER_B), file_name(SEND_R), file_name(NOTES_R),
                    file_name(SEND_Z))
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
    zoe = "Zoë Ann"
    # Questions show their number once and their own text.
    expected = [
        ("h2", "The class"),
        ("h2", "Assignment 001 " + LESSON1),
        ("h3", "Question 001 What is 1/2 + 1/3?"),
        who("Bob Ng", "BN", "response", "16:01:00", MASTER_B, 7), ("text", "=1+1"),
        who("Bob Ng", "BN", "note", "16:02:00", MASTER_B, 17), ("text", "(empty)"),
        who(RENEE, "RD", "response", "14:05:10", SEND_R, 7), ("text", "5/6"),
        who(zoe, "ZA", "response", "18:01:00", SEND_Z, 7), ("text", "=1+1 real, inverted; …"),
        who(zoe, "ZA", "response", "18:02:00", SEND_Z, 14), ("text", DOT_LINE),
        ("h3", 'Question 002 Où est la différence?  Explain, "carefully".'),
        who(RENEE, "RD", "response", "14:07:00", SEND_R, 14), ("text", MULTI),
        who(RENEE, "RD", "note", "14:08:30", SEND_R, 22), ("text", NOTE),
        who(zoe, "ZA", "response", "18:03:00", SEND_Z, 23), ("text", FORGED),
        who(zoe, "ZA", "note", "18:04:00", SEND_Z, 39), ("text", HEADER_BLOCK),
        ("h2", "Assignment 001 " + LESSON1B),
        ("h3", "Question 001 Where is the image?"),
        who(zoe, "ZA", "response", "18:11:00", SEND_Z, 59), ("text", DOT_LINE),
        who(zoe, "ZA", "response", "18:12:00", SEND_Z, 68), ("text", CLOSED_RECORD),
        who(zoe, "ZA", "note", "18:13:00", SEND_Z, 87), ("text", OTHER_STUDENT),
        who(zoe, "ZA", "response", "18:14:00", SEND_Z, 107), ("text", INDENTED),
        ("h2", "Assignment 002 " + LESSON2),
        ("h3", "Question 001 The second assignment's question"),
        who(RENEE, "RD", "response", "15:12:00", SEND_R, 35), ("text", ACCENTS),
        ("h2", "Without a header block"),
        ("h3", 'Question 002 Où est la différence?  Explain, "carefully".'),
        who_nobody("note", "14:08:30", NOTES_R, 1), ("text", NOTE),
    ]
    expect("headings and entries in Chromium", dom.items, expected)


CANNOT_HOLD = (b"warning: a text of this record holds a character a workbook's cell cannot hold (NUL or another "
               b"control character): shown as \\0 or \\x and its code\n")


def xlsx_checks(binary, folder):
    import datetime
    import openpyxl  # Debian's python3-openpyxl
    from openpyxl.utils.escape import unescape  # control characters are written as _x000D_, as Excel does

    files = [file_name(f) for f in (MASTER_R, SEND_R, NOTES_R, MASTER_E, SEND_Z)]
    raw = report(binary, folder, "--raw", *files)
    expect("status of the CSV beside the workbook", (raw.returncode, raw.stderr), (0, b""))
    ids = []
    records = parse_csv(raw.stdout, ids)
    rows = [row + ["", "", ids[n]] for n, row in enumerate(records)]
    result = report(binary, folder, "--xlsx", "answers.xlsx", *files)
    expect("status and output of the workbook", (result.returncode, result.stdout, result.stderr), (0, b"", b""))
    if os.path.exists(os.path.join(folder, "answers.xlsx.part")):
        raise Failure("the workbook's part file was left behind")

    book = openpyxl.load_workbook(os.path.join(folder, "answers.xlsx"))
    expect("sheets", book.sheetnames, ["records", "class"])
    sheet = book["records"]
    expect("frozen header row", sheet.freeze_panes, "A2")
    expect("filter", sheet.auto_filter.ref, "A1:N%d" % (len(rows) + 1))
    expect("header row", [c.value for c in sheet[1]], SHEET)
    expect("rows", sheet.max_row, len(rows) + 1)
    widths = {letter: sheet.column_dimensions[letter].width for letter in "ABCDEFGHIJKLMN"}
    if not (widths["J"] > 40 and widths["K"] > 60 and widths["C"] < 15 and widths["L"] >= 10 and widths["M"] > 40):
        raise Failure("column widths %r" % widths)
    # Mark and comment: wrapped text where the instructor types ("7/10" is
    # no date); the id's column hidden, every other one shown.
    for letter in "LM":
        style = sheet.column_dimensions[letter]
        expect("column %s's format" % letter, (style.alignment.wrap_text, style.number_format), (True, "@"))
    expect("hidden columns", [c for c in "ABCDEFGHIJKLMN" if sheet.column_dimensions[c].hidden], ["N"])
    for r, expected in enumerate(rows, start=2):
        for c, (cell, value) in enumerate(zip(sheet[r], expected)):
            where = "%s%d" % (cell.column_letter, r)
            if SHEET[c] == "date":
                day = datetime.datetime.strptime(value, "%Y-%m-%d")
                expect(where + " (a date cell)", (cell.value, cell.number_format), (day, "yyyy-mm-dd"))
            elif SHEET[c] == "time":
                clock = datetime.datetime.strptime(value, "%H:%M:%S").time()
                expect(where + " (a time cell)", (cell.value, cell.number_format), (clock, "hh:mm:ss"))
            elif value == "":
                expect(where + " (empty)", cell.value, None)
            else:
                # Text, whatever it looks like: no formula, no number.
                expect(where + " (a text cell)", (unescape(cell.value), cell.data_type, cell.number_format),
                       (value, "s", "@"))
                expect(where + " wrapped", cell.alignment.wrap_text, SHEET[c] in ("question", "text") or None)
    if not any(c.value == "002" for c in sheet["D"]):
        raise Failure("no assignment 002 as text")

    # The class sheet: with the lesson, the questions with no response; with
    # the roster, every student, one with nothing received too.
    with open(os.path.join(folder, "lesson.txt"), "wb") as f:
        f.write(("001.  " + LESSON1 + "\r\n" + Q1 + "\r\n" + Q2 + "\r\n`q003  A third?\r\n").encode("cp1252"))
    with open(os.path.join(folder, "roster.txt"), "wb") as f:
        f.write("Renée Dubois, RD\r\nNobody Here, NH\r\n".encode("cp1252"))
    result = report(binary, folder, "--xlsx", "class.xlsx", "--lesson", "lesson.txt", "--roster", "roster.txt",
                    file_name(SEND_R), file_name(SEND_Z))
    expect("status of the workbook with the class", (result.returncode, result.stderr), (0, b""))
    day = datetime.datetime(2026, 12, 7)
    overview = [[c.value for c in row] for row in openpyxl.load_workbook(os.path.join(folder, "class.xlsx"))["class"]]
    expect("the class sheet", overview, [
        ["student", "initials", "assignment", "lesson", "responses", "notes", "first", "last", "no response"],
        ["Nobody Here", "NH", None, None, 0, 0, None, None, "nothing received"],
        [RENEE, "RD", "001", LESSON1, 2, 1, day, day, "003"],
        [RENEE, "RD", "002", LESSON2, 1, 0, day, day, "(not in the lesson given)"],
        ["Zoë Ann", "ZA", "001", LESSON1, 3, 1, day, day, "003"],
        ["Zoë Ann", "ZA", "001", LESSON1B, 3, 1, day, day, "(not in the lesson given)"]])
    result = report(binary, folder, "--xlsx", "class.xlsx", "--lesson", "no such lesson.txt", file_name(SEND_R))
    expect("a lesson that cannot be read", (result.returncode, result.stderr),
           (2, b'qalesson-report: cannot use the lesson file "no such lesson.txt": it does not exist.\n'))
    result = report(binary, folder, "--roster", "roster.txt", file_name(SEND_R))
    if result.returncode != 2 or b"--lesson and --roster go with --xlsx or --html" not in result.stderr:
        raise Failure("--roster with the CSV gave %r" % (result,))

    # A text longer than a cell holds is cut there, with a warning.
    with open(os.path.join(folder.encode(), file_name(SEND_B)), "rb") as f:
        send = f.read()
    # The file's name is shown escaped in the warnings; its ESC is one a
    # cell cannot hold either, so each row's file cell shows it as "\x1b".
    with open(os.path.join(folder, "long\x1b[2J.txt"), "wb") as f:
        f.write(send.replace(b"\r\n=1+1\r\n", b"\r\n" + b"x" * 40000 + b"\r\n"))
    result = report(binary, folder, "--xlsx", "long.xlsx", "long\x1b[2J.txt")
    expect("a text too long for a cell", (result.returncode, result.stderr),
           (1, b"long\\x1b[2J.txt:7: " + CANNOT_HOLD +
               b"long\\x1b[2J.txt:7: warning: a text of this record is longer than a workbook's cell holds "
               b"(32767 characters): cut there\n"
               b"long\\x1b[2J.txt:14: " + CANNOT_HOLD))
    expect("the file's cell", openpyxl.load_workbook(os.path.join(folder, "long.xlsx"))["records"]["A2"].value,
           "long\\x1b[2J.txt")
    expect("the cut text", openpyxl.load_workbook(os.path.join(folder, "long.xlsx"))["records"]["K2"].value,
           "x" * 32767)

    # NUL and the other controls XML cannot hold are shown in the cell, in
    # full, with a warning: (text in the file, the cell as read back).
    unholdable = [(b"Eve\x00Null", "Eve\\0Null"),
                  (b"\x1b[2J\x07bell\x0b\x0c\x1f", "\\x1b[2J\\x07bell\\x0b\\x0c\\x1f"),
                  (b"tab\there", "tab\there"),
                  (b"\x00" + b"y" * 32770, "\\0" + "y" * 32765)]
    for n, (text, shown) in enumerate(unholdable):
        with open(os.path.join(folder, "ctl.txt"), "wb") as f:
            f.write(send.replace(b"\r\n=1+1\r\n", b"\r\n" + text + b"\r\n"))
        result = report(binary, folder, "--xlsx", "ctl.xlsx", "ctl.txt")
        warnings = []
        if b"\x00" in text or b"\x1b" in text:
            warnings.append(b"ctl.txt:7: " + CANNOT_HOLD)
        if len(text) > 32767:
            warnings.append(b"ctl.txt:7: warning: a text of this record is longer than a workbook's cell holds "
                            b"(32767 characters): cut there\n")
        expect("control characters %d" % n, (result.returncode, result.stderr), (1 if warnings else 0, b"".join(warnings)))
        expect("the cell of control characters %d" % n,
               unescape(openpyxl.load_workbook(os.path.join(folder, "ctl.xlsx"))["records"]["K2"].value), shown)

    # A report that cannot read a file it is given leaves an earlier
    # workbook of the name as it was, and no part file.
    with open(os.path.join(folder, "answers.xlsx"), "rb") as f:
        earlier = f.read()
    result = report(binary, folder, "--xlsx", "answers.xlsx", "missing.txt", file_name(SEND_B))
    expect("a workbook of a file that cannot be read", (result.returncode, result.stderr),
           (2, b'qalesson-report: cannot read "missing.txt": it does not exist.\n'
               b'qalesson-report: "answers.xlsx" is not written, as a file could not be read; any earlier workbook '
               b'of that name is left as it was.\n'))
    with open(os.path.join(folder, "answers.xlsx"), "rb") as f:
        expect("the earlier workbook", f.read() == earlier, True)
    if os.path.exists(os.path.join(folder, "answers.xlsx.part")):
        raise Failure("the failed workbook's part file was left behind")

    # A workbook that cannot be written is said at once; nothing is left.
    result = report(binary, folder, "--xlsx", "no/such/folder.xlsx", file_name(SEND_B))
    expect("a workbook that cannot be written", (result.returncode, result.stderr),
           (2, b'qalesson-report: cannot write "no/such/folder.xlsx": No such file or directory.\n'))

    # LibreOffice opens it without a dialog and shows the same texts, the
    # date and the time in ISO form.
    profile = tempfile.mkdtemp(prefix="qalesson-lo-")
    try:
        converted = subprocess.run(
            ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to",
             "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false", "--outdir", folder,
             os.path.join(folder, "answers.xlsx")], capture_output=True, timeout=150)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    shown = os.path.join(folder, "answers.csv")
    if converted.returncode != 0 or not os.path.exists(shown):
        raise Failure("LibreOffice did not convert the workbook: %r" % (converted,))
    with open(shown, encoding="utf-8", newline="") as f:
        calc = list(csv.reader(f))
    expect("the workbook as LibreOffice shows it", calc, [SHEET] + rows)


def convert(path, target, folder):
    """The workbook at path saved again by LibreOffice headless, as target
    ("xlsx" or "ods"), into folder."""
    profile = tempfile.mkdtemp(prefix="qalesson-lo-")
    try:
        converted = subprocess.run(
            ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to",
             {"xlsx": "xlsx:Calc MS Excel 2007 XML", "ods": "ods"}[target], "--outdir", folder, path],
            capture_output=True, timeout=150)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    out = os.path.join(folder, os.path.splitext(os.path.basename(path))[0] + "." + target)
    if converted.returncode != 0 or not os.path.exists(out):
        raise Failure("LibreOffice did not save the workbook as %s: %r" % (target, converted))
    return out


SYNTAX = "Good.\n####.#\n002.  Second part\n`routine exitprog\n`q004  x\n001 kg\n"


def feedback_checks(binary, folder, qalesson):
    """The whole trip: a workbook of the records, marked by openpyxl (sorted,
    filtered, rows deleted and hidden, a column added, an id made up, one
    marked twice), saved again by LibreOffice as .xlsx and as .ods; the
    same feedback from all three."""
    import openpyxl

    files = [file_name(f) for f in (MASTER_R, SEND_R, SEND_B, SEND_Z)]
    result = report(binary, folder, "--xlsx", "answers.xlsx", *files)
    expect("status of the workbook", (result.returncode, result.stderr), (0, b""))
    book = openpyxl.load_workbook(os.path.join(folder, "answers.xlsx"))
    sheet = book["records"]
    rows = [[c.value for c in row] for row in sheet.iter_rows(min_row=2)]
    col = {name: SHEET.index(name) for name in SHEET}
    # Sorted by student, last first, as an instructor may; the id stays
    # with its row.
    rows.sort(key=lambda r: (r[col["student"]], r[col["time"]]), reverse=True)
    marks = {
        ("Renée Dubois", "14:05:10"): (7, None),
        ("Renée Dubois", "14:07:00"): ("7/10", "Good, but:\nshow the steps."),
        ("Renée Dubois", "15:12:00"): ("A-", SYNTAX),
        ("Bob Ng", "16:01:00"): (4.5, "=1+1 is no answer"),
        ("Zoë Ann", "18:03:00"): (None, "You copied a record's lines:\n" + OPENING),
    }
    kept = []
    for r in rows:
        key = (r[col["student"]], r[col["time"]].strftime("%H:%M:%S"))
        if r[col["file"]] == MASTER_R and key[1] == "14:05:10":
            r[col["mark"]], r[col["comment"]] = 7, None  # master and send alike: one record
        elif key == ("Zoë Ann", "18:04:00"):
            continue  # a row deleted
        elif r[col["file"]] != MASTER_R and key in marks:
            r[col["mark"]], r[col["comment"]] = marks[key]
        kept.append(r)
    made_up = list(kept[0])
    made_up[col["id"]] = "q" + "0" * 32
    made_up[col["mark"]] = 1
    kept.append(made_up)
    # The first mark of a record counts; one marked otherwise is a warning.
    again = next(list(r) for r in kept if r[col["file"]] == SEND_R and r[col["mark"]] == 7)
    again[col["mark"]] = 9
    kept.append(again)
    sheet.delete_rows(2, sheet.max_row)
    for r in kept:
        sheet.append(r)
    # openpyxl takes a text that begins with "=" for a formula; a
    # spreadsheet program keeps a text cell's type.
    for row in sheet.iter_rows(min_row=2):
        for cell in row:
            if isinstance(cell.value, str) and cell.value.startswith("="):
                cell.data_type = "s"
    # A column of the instructor's own, at the right; a row hidden, a filter.
    sheet.cell(1, len(SHEET) + 1, "my notes")
    sheet.cell(3, len(SHEET) + 1, "ask in class")
    sheet.row_dimensions[4].hidden = True
    sheet.auto_filter.ref = "A1:O%d" % (len(kept) + 1)
    marked = os.path.join(folder, "marked.xlsx")
    book.save(marked)
    expected_rows = {}
    for n, r in enumerate(kept, start=2):
        expected_rows.setdefault(r[col["id"]], []).append(n)

    results = {}
    for name, path in (("openpyxl", marked), ("LibreOffice .xlsx", convert(marked, "xlsx", os.path.join(folder, "lo"))),
                       ("LibreOffice .ods", convert(marked, "ods", folder))):
        out = os.path.join(folder, "out-" + name.replace(" ", "_"))
        relative = os.path.relpath(path, folder)
        result = report(binary, folder, "--feedback", relative, "--out", out)
        warnings = sorted(line.replace(relative.encode(), b"MARKED") for line in result.stderr.splitlines())
        written = {}
        for f in sorted(os.listdir(out)):
            with open(os.path.join(out, f), "rb") as handle:
                written[f] = handle.read()
        results[name] = (result.returncode, warnings, written)
    first = results["openpyxl"]
    for name, got in results.items():
        expect("feedback from %s, as from openpyxl's" % name, got, first)
    status, warnings, written = first
    expect("status of the feedback", status, 1)
    if len(warnings) != 2 or not any(b"names no record of the workbook" in w for w in warnings) \
            or not any(b"is marked otherwise in row" in w for w in warnings):
        raise Failure("warnings %r" % warnings)
    for w in warnings:
        if not re.fullmatch(rb"MARKED:\d+: warning: the id q[0-9a-f]{32} .*: (this row )?left out", w):
            raise Failure("a warning %r" % w)
    expect("files written", sorted(written), [
        "feedback_001_Bob_Ng.html", "feedback_001_Bob_Ng.txt", "feedback_001_Renée_Dubois.html",
        "feedback_001_Renée_Dubois.txt", "feedback_001_Zoë_Ann.html", "feedback_001_Zoë_Ann.txt",
        "feedback_002_Renée_Dubois.html", "feedback_002_Renée_Dubois.txt"])

    # Bob's lesson to the byte.
    expect("Bob's lesson", written["feedback_001_Bob_Ng.txt"], (
        "001.  " + LESSON1 + " — feedback\r\n\r\n"
        "Your instructor's marks and comments on assignment 001, " + LESSON1 + ", for Bob Ng. Each click of "
        "Next Question / Answer shows one of your answers with its mark and comment. To answer a comment, type "
        "your reply in the answer box and click Enter Response: it goes to your instructor in your next send "
        "file.   \r\n\r\n"
        "`q001  What is 1/2 + 1/3?   Your answer (2026-12-07 16:01:00): =1+1   Mark: 4.5   Comment: =1+1 is no "
        "answer   \r\n\r\n\r\n`routine exitprog\r\n####.#\r\n").encode("cp1252"))
    lesson = written["feedback_002_Renée_Dubois.txt"].decode("cp1252")
    if "Mark: A-   Comment: Good. / ####.# / 002.  Second part / `routine exitprog / `q004  x / 001 kg   " \
            not in lesson or "\n" in lesson.replace("\r\n", ""):
        raise Failure("the lesson of syntax %r" % lesson)
    renee = written["feedback_001_Renée_Dubois.txt"].decode("cp1252")
    if "Mark: 7   \r\n" not in renee or "Mark: 7/10   Comment: Good, but: / show the steps." not in renee:
        raise Failure("Renée's lesson %r" % renee)
    # Every lesson checks clean with the program's own checker.
    for f, data in written.items():
        if f.endswith(".txt"):
            checked = subprocess.run([qalesson, "--check", os.path.join(out, f)], capture_output=True, timeout=60)
            expect("qalesson --check " + f, (checked.returncode, checked.stdout, checked.stderr), (0, b"", b""))
    page = written["feedback_001_Renée_Dubois.html"].decode("utf-8")
    for pattern in (r"<script", r"<link", r"\ssrc=", r"\shref=", r"url\(", r"@import"):
        if re.search(pattern, page, re.I):
            raise Failure("the page is not self-contained: %s" % pattern)
    if "<p class=\"total\">Total of the marks that are numbers (1 of 2): 7</p>" not in page:
        raise Failure("the total of Renée's page: %r" % page)
    if "<p class=\"total\">Total: 4.5</p>" not in written["feedback_001_Bob_Ng.html"].decode("utf-8"):
        raise Failure("the total of Bob's page")

    # The page as Chromium builds it: the heading, the answer, the comment
    # of lesson syntax and markup-like text, all of it text.
    dom = Dom()
    dom.feed(chromium_dom(os.path.join(out, "feedback_002_Renée_Dubois.html")))
    expect("Renée's page of assignment 002 in Chromium", dom.items,
           [("h2", "Question 001 The second assignment's question"), ("text", ACCENTS), ("text", SYNTAX.strip())])
    dom = Dom()
    dom.feed(chromium_dom(os.path.join(out, "feedback_001_Renée_Dubois.html")))
    expect("Renée's page of assignment 001 in Chromium", dom.items,
           [("h2", "Question 001 What is 1/2 + 1/3?"), ("text", "5/6"),
            ("h2", 'Question 002 Où est la différence?  Explain, "carefully".'), ("text", MULTI),
            ("text", "Good, but:\nshow the steps.")])

    hand_made_checks(binary, folder, qalesson)

    # Refused, with status 2 and nothing written: a CSV, no workbook, an
    # encrypted one, a zip of something else.
    with open(os.path.join(folder, "answers.csv"), "wb") as f:
        f.write(report(binary, folder, file_name(SEND_B)).stdout)
    with open(os.path.join(folder, "locked.xlsx"), "wb") as f:
        f.write(b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\0" * 600)
    with open(os.path.join(folder, "text.xlsx"), "wb") as f:
        f.write(b"not a workbook")
    shutil.make_archive(os.path.join(folder, "other"), "zip", folder, "lo")
    os.rename(os.path.join(folder, "other.zip"), os.path.join(folder, "other.ods"))
    for name, reason in (
            ("answers.csv", b"a CSV file keeps no cell's type (a mark of 5/6 becomes a date, 002 becomes 2); open "
                            b"the workbook in your spreadsheet program and save it as .xlsx or .ods."),
            ("locked.xlsx", b"it is encrypted, or an Excel 97-2003 workbook: save it as .xlsx or .ods, without a "
                            b"password."),
            ("text.xlsx", b"it is no workbook (no .xlsx or .ods file)."),
            ("other.ods", b"it is no workbook (no .xlsx or .ods file)."),
            ("missing.xlsx", b"it does not exist.")):
        result = report(binary, folder, "--feedback", name, "--out", "refused")
        expect("feedback from " + name, (result.returncode, result.stderr),
               (2, b'qalesson-report: cannot read "' + name.encode() + b'": ' + reason + b"\n"))
        if os.path.exists(os.path.join(folder, "refused")):
            raise Failure("feedback written for " + name)
    # A workbook with nothing marked: said, status 1, nothing written.
    result = report(binary, folder, "--feedback", "answers.xlsx")
    expect("a workbook with nothing marked", (result.returncode, result.stderr),
           (1, b'qalesson-report: no row of "answers.xlsx" has a mark or a comment: no feedback written\n'))
    for args in (["--feedback"], ["--feedback", "m.xlsx", "x.txt"], ["--out", "d", "x.txt"],
                 ["--feedback", "m.xlsx", "--html"]):
        result = report(binary, folder, *args)
        if result.returncode != 2 or b"Usage: qalesson-report" not in result.stderr:
            raise Failure("%r gave %r" % (args, result))


def hand_made_checks(binary, folder, qalesson):
    """What spreadsheet programs write beyond what openpyxl and LibreOffice
    did above, written by hand into Bob's record: in .xlsx a formula's
    cached text and number, shared strings of rich text runs (and a phonetic
    run, which is no part of the text), a control character as _x000D_; in
    .ods a cell's lines, runs of blanks (text:s), spans, a line break, a
    cell's own comment (an annotation, no part of the text), repeated empty
    columns and rows, a number, a date and a time."""
    import zipfile
    from xml.sax.saxutils import escape
    raw = report(binary, folder, "--raw", file_name(SEND_B))
    ids = []
    row = parse_csv(raw.stdout, ids)[0]
    cols = {name: SHEET.index(name) for name in SHEET}
    letters = "ABCDEFGHIJKLMN"

    def inline(col, text):
        return '<c r="%s2" t="inlineStr"><is><t>%s</t></is></c>' % (letters[col], escape(text))
    cells = [inline(cols[n], row[HEADER.index(n)]) for n in HEADER[:-1] if n not in ("date", "time")
             and row[HEADER.index(n)]]
    cells.append('<c r="F2" s="1"><v>46363</v></c><c r="G2"><v>0.66736111111111107</v></c>')  # 16:01:00
    cells.append('<c r="L2" t="str"><f>"7/"&amp;"10"</f><v>7/10</v></c>')
    cells.append('<c r="M2" t="s"><v>0</v></c>')
    cells.append(inline(cols["id"], ids[0]))
    header = "".join(inline(c, name).replace('2"', '1"', 1) for c, name in enumerate(SHEET))
    sheet = ('<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/'
             'spreadsheetml/2006/main"><sheetData><row r="1">%s</row><row r="2">%s</row>'
             '<row r="3"><c r="A3"><f>1+1</f><v>2</v></c><c r="N3" t="inlineStr"><is><t>%s</t></is></c></row>'
             '</sheetData></worksheet>' % (header, "".join(sorted(cells, key=lambda c: letters.index(c[6]))), ids[0]))
    shared = ('<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/'
              '2006/main"><si><r><t>Good</t></r><r><rPr><b/></rPr><t xml:space="preserve"> work,_x000D_</t></r>'
              '<r><t>\nnext</t></r><rPh sb="0" eb="1"><t>PHONETIC</t></rPh></si></sst>')
    workbook = ('<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="http://schemas.openxmlformats.org/'
                'spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/'
                'relationships"><sheets><sheet name="records" sheetId="1" r:id="rId1"/></sheets></workbook>')
    rels = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/'
            '2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/'
            '2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://'
            'schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="/xl/'
            'sharedStrings.xml"/></Relationships>')
    with zipfile.ZipFile(os.path.join(folder, "hand.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("xl/workbook.xml", workbook)
        z.writestr("xl/_rels/workbook.xml.rels", rels)
        z.writestr("xl/worksheets/sheet1.xml", sheet)
        z.writestr("xl/sharedStrings.xml", shared)

    def ods_cell(text):
        return '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>' % escape(text)
    ods_cells = []
    for name in SHEET:
        if name == "date":
            ods_cells.append('<table:table-cell office:value-type="date" office:date-value="2026-12-07"/>')
        elif name == "time":
            ods_cells.append('<table:table-cell office:value-type="time" office:time-value="PT16H01M00S"/>')
        elif name == "mark":
            ods_cells.append('<table:table-cell office:value-type="float" office:value="7.5"><text:p>7,5</text:p>'
                             '</table:table-cell>')
        elif name == "comment":
            ods_cells.append(
                '<table:table-cell office:value-type="string"><office:annotation><text:p>not this</text:p>'
                '</office:annotation><text:p>first<text:s text:c="2"/><text:span text:style-name="T1">second'
                '</text:span><text:line-break/>third</text:p><text:p>fourth</text:p></table:table-cell>'
                '<table:table-cell table:number-columns-repeated="3"/>')
        elif name == "id":
            ods_cells.append(ods_cell(ids[0]))
        else:
            value = row[HEADER.index(name)]
            ods_cells.append(ods_cell(value) if value else '<table:table-cell/>')
    # The comment's repeated empty cells stand before the id: move the id's
    # header along with them.
    ods_header = [ods_cell(n) for n in SHEET[:-1]] + ['<table:table-cell table:number-columns-repeated="3"/>',
                                                      ods_cell("id")]
    content = ('<?xml version="1.0" encoding="UTF-8"?><office:document-content xmlns:office="urn:oasis:names:tc:'
               'opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
               'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:spreadsheet>'
               '<table:table table:name="records"><table:table-row>%s</table:table-row><table:table-row>%s'
               '</table:table-row><table:table-row table:number-rows-repeated="1048574"><table:table-cell '
               'table:number-columns-repeated="1024"/></table:table-row></table:table></office:spreadsheet>'
               '</office:body></office:document-content>' % ("".join(ods_header), "".join(ods_cells)))
    with zipfile.ZipFile(os.path.join(folder, "hand.ods"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("mimetype", "application/vnd.oasis.opendocument.spreadsheet")
        z.writestr("content.xml", content)
    for name, mark, comment in (("hand.xlsx", "7/10", "Good work, / next"),
                                ("hand.ods", "7.5", "first  second / third / fourth")):
        out = os.path.join(folder, "out-" + name)
        result = report(binary, folder, "--feedback", name, "--out", out)
        expect("feedback from " + name, (result.returncode, result.stderr), (0, b""))
        with open(os.path.join(out, "feedback_001_Bob_Ng.txt"), "rb") as f:
            lesson = f.read().decode("cp1252")
        line = ("`q001  What is 1/2 + 1/3?   Your answer (2026-12-07 16:01:00): =1+1   Mark: %s   Comment: %s   \r\n"
                % (mark, comment))
        if line not in lesson:
            raise Failure("the lesson of %s:\n%r\n does not hold\n%r" % (name, lesson, line))


GB = 1000 * 1000 * 1000
MiB = 1 << 20
CRAFTED_HEADER = b"".join(line + b"\r\n" for line in (
    b"\xb0" * 24, b"Student Name:  Mallory", b"assignment #001", b"001.  Crafted", b"Initials:  M",
    b"Date and Time 12-07-202614:00:00"))


def crafted_head(when):
    """A response record's lines up to its text."""
    return b"".join(line + b"\r\n" for line in (
        OPENING.encode(), b" " * 36 + when, b"", b"", b"`questionNumber 10001 ", b"`q001  Crafted?",
        OPENING.encode(), b"RESPONSE -->  "))


def repeated(f, unit, size):
    """unit written again and again, size bytes of it."""
    chunk = unit * (MiB // len(unit))
    for _ in range(size // len(chunk)):
        f.write(chunk)
    f.write(unit * ((size % len(chunk)) // len(unit)))


def crafted_files(folder, size):
    """Files no student's run makes, each name with its text lines after the header block, the warning it gives
    (its line numbers) and the texts of its records: a record that never closes (its text a hole of size NUL
    bytes, one line), one line of size bytes, size bytes of short lines, a record followed by size bytes of
    closing separators, a record of more than 64 MiB and a 30 MB answer of short lines, each before a record."""
    after = crafted_head(b"11:00:00") + b"after\r\n" + CLOSING.encode() + b"\r\n"
    files = []
    with open(os.path.join(folder, "never.txt"), "wb") as f:
        f.write(CRAFTED_HEADER + crafted_head(b"10:00:00") + b"x\r\n")
        f.truncate(f.tell() + size)
    files.append(("never.txt", b"a record cut short (lines 7 to 16)", []))
    with open(os.path.join(folder, "line.txt"), "wb") as f:
        f.write(CRAFTED_HEADER)
        f.truncate(f.tell() + size)
    files.append(("line.txt", b"text that is not a header block or record (line 7)", []))
    unit = b"a short line of text\r\n"
    with open(os.path.join(folder, "short.txt"), "wb") as f:
        f.write(CRAFTED_HEADER + crafted_head(b"10:00:00"))
        repeated(f, unit, size)
    files.append(("short.txt", b"a record cut short (lines 7 to %d)" % (14 + size // len(unit)), []))
    unit = CLOSING.encode() + b"\r\n"
    with open(os.path.join(folder, "closings.txt"), "wb") as f:
        f.write(CRAFTED_HEADER + crafted_head(b"10:00:00") + b"x\r\n")
        repeated(f, unit, size)
    files.append(("closings.txt", b"text that is not a header block or record (lines 17 to %d)"
                  % (16 + size // len(unit) - 1), ["x"]))
    with open(os.path.join(folder, "over64.txt"), "wb") as f:
        f.write(CRAFTED_HEADER + crafted_head(b"10:00:00"))
        repeated(f, b"ab\r\n", 70 * MiB)
        f.write(CLOSING.encode() + b"\r\n" + after)
    files.append(("over64.txt", b"a record of more than 64 MiB (lines 7 to %d)" % (15 + 70 * MiB // 4), ["after"]))
    with open(os.path.join(folder, "answer30.txt"), "wb") as f:
        f.write(CRAFTED_HEADER + crafted_head(b"10:00:00"))
        repeated(f, b"ab\r\n", 30 * GB // 1000)
        f.write(CLOSING.encode() + b"\r\n" + after)
    files.append(("answer30.txt", None, ["ab\n" * (30 * GB // 1000 // 4 - 1) + "ab", "after"]))
    return files


def peak_run(binary, folder, *args):
    """The report's status, output, standard error and peak memory (its maximum resident set, in MiB), as GNU
    time tells it: a child of this process would count the memory this process had when it was made."""
    argv = [binary.encode()] + [a if isinstance(a, bytes) else a.encode() for a in args]
    with tempfile.NamedTemporaryFile() as peak:
        result = subprocess.run([b"/usr/bin/time", b"-f", b"%M", b"-o", peak.name.encode()] + argv, cwd=folder,
                                capture_output=True, timeout=120)
        kib = int(open(peak.name).read().split()[-1])
    return result.returncode, result.stdout, result.stderr, kib / 1024


def crafted_checks(binary, folder):
    """Each crafted file in every form, before a student's file: nothing aborts, the crafted file's warning or
    records and the student's records are reported, and the report's peak memory stays low: under 64 MiB, and
    under 100 MiB for the 30 MB answer."""
    import zipfile
    csv.field_size_limit(1 << 30)  # the 30 MB answer is one field
    files = crafted_files(folder, GB)
    bob = bob_rows(MASTER_B, True)
    for name, warning, texts in files:
        limit = 100 if name == "answer30.txt" else 64
        for form in ("csv", "html", "xlsx"):
            args = {"csv": [], "html": ["--html"], "xlsx": ["--xlsx", "crafted.xlsx"]}[form]
            status, out, err, peak = peak_run(binary, folder, *args, name, file_name(MASTER_B))
            what = "%s as %s" % (name, form)
            cut = form == "xlsx" and name == "answer30.txt"
            # The warning's line is the first its piece names.
            first = b"" if warning is None else re.search(rb"\(lines? (\d+)", warning).group(1)
            expected_err = b"" if warning is None else name.encode() + b":" + first + b": warning: " + warning + \
                b": skipped\n"
            if cut:
                expected_err += (name.encode() + b":7: warning: a text of this record is longer than a workbook's "
                                 b"cell holds (32767 characters): cut there\n")
            expect("status and standard error of " + what, (status, err), (1 if expected_err else 0, expected_err))
            if peak >= limit:
                raise Failure("%s took %.1f MiB at its peak (%d MiB or more)" % (what, peak, limit))
            print("%s: %.1f MiB" % (what, peak))
            if form == "csv":
                rows = parse_csv(out)
                expect("texts of " + what, [row[10] for row in rows[:len(texts)]], texts)
                expect("the student's rows after " + what, rows[len(texts):], bob)
            elif form == "html":
                for text in texts[-1:] + ["Bob Ng"]:
                    if text.encode() not in out:
                        raise Failure("%s: no %r in the page" % (what, text))
            else:
                with zipfile.ZipFile(os.path.join(folder, "crafted.xlsx")) as book:
                    sheet = book.read("xl/worksheets/sheet1.xml")
                for text in texts[-1:] + ["Bob Ng"]:
                    if text.encode() not in sheet:
                        raise Failure("%s: no %r in the workbook" % (what, text))
        os.remove(os.path.join(folder, name))
    # A file whose record the memory cannot hold is reported as not read,
    # and the other files still are.
    with open(os.path.join(folder, "big.txt"), "wb") as f:
        f.write(CRAFTED_HEADER + crafted_head(b"10:00:00"))
        repeated(f, b"ab\r\n", 60 * MiB)
        f.write(CLOSING.encode() + b"\r\n")
    import resource
    limited = subprocess.run([binary, "big.txt", file_name(MASTER_B)], cwd=folder, capture_output=True, timeout=60,
                             preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (64 * MiB, 64 * MiB)))
    expect("status and standard error out of memory", (limited.returncode, limited.stderr),
           (2, b'qalesson-report: cannot read "big.txt": there was not enough memory to read all of it.\n'))
    expect("the student's rows beside a file out of memory", parse_csv(limited.stdout), bob)


def main():
    mode, binary, writer = sys.argv[1], os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([writer, work], check=True, timeout=60)
        folder = os.path.join(work, "drovnel")
        try:
            if mode == "feedback":
                feedback_checks(binary, folder, os.path.abspath(sys.argv[4]))
            else:
                {"csv": csv_checks, "html": html_checks, "xlsx": xlsx_checks, "crafted": crafted_checks}[mode](
                    binary, folder)
        except Failure as failure:
            print("FAIL: %s" % failure)
            return 1
    print("report %s: passed" % mode)
    return 0


if __name__ == "__main__":
    sys.exit(main())
