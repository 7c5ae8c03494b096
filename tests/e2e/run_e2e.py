#!/usr/bin/env python3
"""End-to-end test of qalesson under Xvfb.

Starts a private X server, runs the real program with drive C mapped to a
temporary folder, answers the four start-up prompts by typing, pages to the
first question, records a response and a note by clicking the buttons, quits,
and checks the master, send and notes files byte for byte (date and time by
pattern). A second run asks for assignment 2 and must end after the
invalid-assignment message without showing the window or touching a file.
A third, as Ivy Park, types answers that hold a whole record after a
closing separator and another student's header block with a record's start,
then a plain one; the files hold each separator and name line of them one
blank further in, and the real qalesson-report reads every answer back as
typed, as one record each, all of them hers.

Usage: run_e2e.py QALESSON_BINARY OUTPUT_DIR REPORT_BINARY
(screenshots go there: window.png after start-up, window-answered.png with
the first question and a typed answer)
"""

import csv
import io
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from record_patterns import CLOSING, CODE_LINE, DATE, INDENT, OPENING, QUESTION, TIME, check, read  # noqa: E402
from xsession import (ANSWER_BOX, ENTER_RESPONSE, NEXT_QUESTION, SAVE_AS_NOTES, Failure,  # noqa: E402
                      Session, quit_window, running, wait_exit)


def header_pattern(master):
    between = b"" if master else b" "
    return (CODE_LINE + re.escape(b"Student Name:  Ann Lee\r\nassignment #001\r\n001.  Part B\r\n"
                                  b"Initials:  ALX\r\nDate and Time ")
            + b"(" + DATE + b")" + re.escape(between) + TIME + b"\r\n")


def notes_pattern():
    return (re.escape(OPENING + INDENT) + TIME + b"\r\n" + re.escape(INDENT) + DATE + TIME + b"\r\n"
            + re.escape(QUESTION + b"\r\n" + OPENING + b"NOTES -------> A note\r\n" + CLOSING))


def response_pattern(master):
    extra = b"\r\n\r\n`questionNumber 10000 \r\n" if master else b""
    return (re.escape(OPENING + INDENT) + TIME + b"\r\n"
            + re.escape(extra + QUESTION + b"\r\n" + OPENING + b"RESPONSE -->  \r\nMy answer\r\n" + CLOSING))


def require_icon(desktop, window, what):
    """The window offers the window manager an icon (_NET_WM_ICON) of its own."""
    result = subprocess.run(["xprop", "-id", window, "_NET_WM_ICON"], env=desktop.env,
                            capture_output=True, text=True, timeout=20)
    if "Icon (" not in result.stdout:
        raise Failure("%s has no icon: %s" % (what, (result.stdout + result.stderr).strip()))


def lesson_run(desktop, binary, env, drovnel, shot_path):
    with running([binary], env) as program:
        desktop.answer_prompts(program)
        window = desktop.wait_window("Form1", program)
        require_icon(desktop, window, "the lesson window")
        desktop.screenshot(window, shot_path)

        desktop.click(window, NEXT_QUESTION)
        desktop.click(window, ANSWER_BOX)
        desktop.xdotool("key", "ctrl+a")
        desktop.xdotool("type", "--delay", "15", "My answer")
        desktop.screenshot(window, shot_path.replace(".png", "-answered.png"))
        desktop.click(window, ENTER_RESPONSE)
        desktop.click(window, ANSWER_BOX)
        desktop.xdotool("type", "--delay", "15", "A note")
        desktop.click(window, SAVE_AS_NOTES)
        quit_window(desktop, window, program, "the lesson run")

    master = read(os.path.join(drovnel, "masterFile_Ann_Lee.txt"))
    match = check(header_pattern(True) + response_pattern(True) + notes_pattern(), master, "master file")
    month, day = match.group(1)[0:2], match.group(1)[3:5]
    send_name = b"send_" + month + day + b"Ann_Lee.txt"
    send = read(os.path.join(drovnel, send_name.decode()))
    check(header_pattern(False) + response_pattern(False) + notes_pattern(), send, "send file")
    if master.split(b"\r\n")[0] != send.split(b"\r\n")[0]:
        raise Failure("master and send files open with different code lines")
    check(notes_pattern(), read(os.path.join(drovnel, "notes_Ann_Lee.txt")), "notes file")
    if sorted(os.listdir(drovnel)) != sorted(["masterFile_Ann_Lee.txt", send_name.decode(), "notes_Ann_Lee.txt"]):
        raise Failure("unexpected files: %s" % os.listdir(drovnel))


def wrong_assignment_run(desktop, binary, env, drovnel):
    before = {name: read(os.path.join(drovnel, name)) for name in os.listdir(drovnel)}
    with running([binary], env) as program:
        desktop.answer_prompts(program, "2")
        message = desktop.wait_window("qalesson", program)
        if desktop.visible("Form1"):
            raise Failure("the window appeared although start-up failed")
        desktop.focus(message)
        desktop.xdotool("key", "Return")
        status = wait_exit(program)
    if status != 0:
        raise Failure("the invalid-assignment end gave status %d" % status)
    after = {name: read(os.path.join(drovnel, name)) for name in os.listdir(drovnel)}
    if after != before:
        raise Failure("files changed by a run that found no assignment")


# What Ivy types: the lines of a whole record of the send file after a
# closing separator, and a header block of Bob Forged's with the start of a
# record after it; then an answer of her own, which would be read as his.
AT = b" " * 36 + b"10:00:00"
FORGED_RECORD = [b"mine", CLOSING[:-2], OPENING[:-2], AT, b"Forged question", OPENING[:-2], b"RESPONSE -->  ",
                 b"forged answer", CLOSING[:-2], b"mine again"]
FORGED_HEADER = [b"copied:", CLOSING[:-2], b"xyzzy", b"Student Name:  Bob Forged", b"assignment #007",
                 b"007.  Forged lesson", b"Initials:  BF", b"Date and Time 12-07-202609:00:00", OPENING[:-2], AT,
                 b"Forged question", OPENING[:-2], b"RESPONSE -->  ", b"forged answer"]
PLAIN = [b"the next answer"]


def as_written(lines):
    """The text's lines as the files hold them, written out by hand: a
    separator or a name line one blank further in."""
    shifted = {CLOSING[:-2], OPENING[:-2], b"Student Name:  Bob Forged"}
    return b"\r\n".join(b" " + line if line in shifted else line for line in lines)


def forged_run(desktop, binary, env, drovnel, report):
    with running([binary], env) as program:
        for reply in ("1", "Ivy Park", "IP", "1"):
            desktop.answer_prompt(program, reply)
        window = desktop.wait_window("Form1", program)
        desktop.click(window, NEXT_QUESTION)
        for lines, button in ((FORGED_RECORD, ENTER_RESPONSE), (FORGED_HEADER, SAVE_AS_NOTES),
                              (PLAIN, ENTER_RESPONSE)):
            desktop.click(window, ANSWER_BOX)
            desktop.xdotool("key", "ctrl+a")
            for n, line in enumerate(lines):
                if n > 0:
                    desktop.xdotool("key", "Return")  # a line break, as the student makes it
                desktop.xdotool("type", "--delay", "10", line.decode())
            desktop.click(window, button)
        quit_window(desktop, window, program, "the forging run")

    names = sorted(name for name in os.listdir(drovnel) if name.endswith("Ivy_Park.txt"))
    master = next(name for name in names if name.startswith("masterFile_"))
    send = next(name for name in names if name.startswith("send_"))
    for name, extra in ((master, b"\r\n\r\n`questionNumber 10000 \r\n"), (send, b"")):
        def response(lines):
            return (re.escape(OPENING + INDENT) + TIME + b"\r\n"
                    + re.escape(extra + QUESTION + b"\r\n" + OPENING + b"RESPONSE -->  \r\n" + as_written(lines)
                                + b"\r\n" + CLOSING))
        note = (re.escape(OPENING + INDENT) + TIME + b"\r\n" + re.escape(INDENT) + DATE + TIME + b"\r\n"
                + re.escape(QUESTION + b"\r\n" + OPENING + b"NOTES -------> " + as_written(FORGED_HEADER)
                            + b"\r\n" + CLOSING))
        head = CODE_LINE + re.escape(b"Student Name:  Ivy Park\r\nassignment #001\r\n001.  Part B\r\n"
                                     b"Initials:  IP\r\nDate and Time ") + DATE + b" ?" + TIME + b"\r\n"
        check(head + response(FORGED_RECORD) + note + response(PLAIN), read(os.path.join(drovnel, name)), name)
    check(note, read(os.path.join(drovnel, "notes_Ivy_Park.txt")), "notes_Ivy_Park.txt")

    result = subprocess.run([report, master, send], cwd=drovnel, capture_output=True, timeout=60)
    if (result.returncode, result.stderr) != (0, b""):
        raise Failure("the report gave %d: %r" % (result.returncode, result.stderr))
    rows = list(csv.reader(io.StringIO(result.stdout.decode("utf-8-sig"), newline="")))[1:]
    got = [(r[0], r[1], r[2], r[3], r[4], r[7], r[10]) for r in rows]
    expected = [(name, "Ivy Park", "IP", "001", "Part B", kind, "\n".join(line.decode() for line in lines))
                for name in (master, send)
                for kind, lines in (("response", FORGED_RECORD), ("notes", FORGED_HEADER), ("response", PLAIN))]
    if got != expected:
        raise Failure("the report's rows:\n got      %r\n expected %r" % (got, expected))


def main():
    binary, out_dir, report = sys.argv[1], sys.argv[2], os.path.abspath(sys.argv[3])
    session = None
    try:
        session = Session("qalesson-e2e-", tools=("Xvfb", "xdotool", "xdpyinfo", "import", "xprop"))
        lesson_run(session.desktop, binary, session.env, session.drovnel, os.path.join(out_dir, "window.png"))
        wrong_assignment_run(session.desktop, binary, session.env, session.drovnel)
        forged_run(session.desktop, binary, session.env, session.drovnel, report)
        print("e2e: lesson run, wrong-assignment run and forging run passed")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        if session:
            session.close()


if __name__ == "__main__":
    sys.exit(main())
