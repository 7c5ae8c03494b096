#!/usr/bin/env python3
"""End-to-end test of qalesson with a lesson file, under Xvfb.

Runs the real program on lessons/sample.txt and checks, byte for byte, what
the student meets: in assignment 001 the question number of the line "`q003"
reaches the record ("`questionNumber 10003 "), the graph1 routine line is run
unseen (neither in the question box nor in any file), and the header of
assignment 002 ends the run with status 0; assignment 002 ends at its exit
routine (started as "qalesson FILE"), where an answer typed to question 2
and not recorded is asked about before Next Question drops it, and Return
records it. A missing lesson file, a UTF-8 one holding a character that
Windows-1252 lacks and one of a single line of megabytes are each refused
before any prompt with a box, a line on standard error and status 2. --help, --version and a wrong option
answer without a display; a run without one says so, after the refusal of a
missing lesson file, with status 2.

The X server, the desktop helpers and the record patterns are those of
run_e2e.py.

Usage: run_lesson_e2e.py QALESSON_BINARY SAMPLE_LESSON [OUTPUT_DIR]
(the screenshot of the record-or-discard box goes there: record-or-discard.png)
"""

import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from record_patterns import CLOSING, CODE_LINE, DATE, INDENT, OPENING, TIME, check, read  # noqa: E402
from xsession import (ANSWER_BOX, ENTER_RESPONSE, NEXT_QUESTION, SAVE_AS_NOTES, Failure, Session,  # noqa: E402
                      wait_exit)

# Centre of txt_question, in window pixels (twips / 15).
QUESTION_BOX = (188, 223)

Q002 = (b"`q002  Predict the period when the string is only one quarter as long.  "
        b"Explain how you arrived at your prediction.")
Q003 = (b"`q003  Shorten the string to one quarter of its length and time 10 swings again.  "
        b"Was your prediction supported by your data?  Describe any insight you had or any error you made.")
Q001_START = b"`q001  Hang a small weight on a string about 1 m long, pull it aside about 10\xb0 and let it go."
ANSWER = b"Half the period"
Q002_OF_002 = (b"`q002  Predict the time for a roll that starts from rest halfway down, then test your prediction.  "
               b"Is the time for the whole incline more than double, less than double or exactly double the time "
               b"for the second half?")
TYPED = b"Less than double"


def header(number, title, master):
    between = b"" if master else b" "
    return (CODE_LINE + re.escape(b"Student Name:  Ann Lee\r\nassignment #" + number + b"\r\n" + title
                                  + b"\r\nInitials:  ALX\r\nDate and Time ")
            + DATE + re.escape(between) + TIME + b"\r\n")


def notes_record(note):
    return (re.escape(OPENING + INDENT) + TIME + b"\r\n" + re.escape(INDENT) + DATE + TIME + b"\r\n"
            + re.escape(Q003 + b"\r\n" + OPENING + b"NOTES -------> ") + note + re.escape(b"\r\n" + CLOSING))


def response_record():
    return (re.escape(OPENING + INDENT) + TIME + b"\r\n"
            + re.escape(b"\r\n\r\n`questionNumber 10003 \r\n" + Q003 + b"\r\n" + OPENING + b"RESPONSE -->  \r\n"
                        + ANSWER + b"\r\n" + CLOSING))


def start(desktop, binary, sample, env, assignment, as_argument=False):
    # "qalesson FILE", as a file manager's "Open with" starts it, or --lesson FILE.
    program = subprocess.Popen([binary, sample] if as_argument else [binary, "--lesson", sample], env=env)
    desktop.answer_prompts(program, assignment)
    return program, desktop.wait_window("Form1", program)


def finish(program, what):
    try:
        status = wait_exit(program)
    finally:
        if program.poll() is None:
            program.kill()
    if status != 0:
        raise Failure("%s ended with status %d" % (what, status))


def assignment_one(desktop, binary, sample, env, master_path):
    program, window = start(desktop, binary, sample, env, "1")
    try:
        # Question 1, question 2, then the graph routine runs and question 3
        # follows in the same click.
        for _ in range(3):
            desktop.click(window, NEXT_QUESTION)
        # Carry the question box over to the answer box and save it as a note,
        # so the notes file shows exactly what the box held.
        desktop.click(window, QUESTION_BOX)
        desktop.xdotool("key", "ctrl+a", "ctrl+c")
        desktop.click(window, ANSWER_BOX)
        desktop.xdotool("key", "ctrl+a", "ctrl+v")
        desktop.click(window, SAVE_AS_NOTES)
        desktop.click(window, ANSWER_BOX)
        desktop.xdotool("type", "--delay", "15", ANSWER.decode())
        desktop.click(window, ENTER_RESPONSE)
        # The next line is the header of assignment 002: the run ends.
        desktop.click(window, NEXT_QUESTION)
    except BaseException:
        program.kill()
        raise
    finish(program, "the run at the header of 002")

    # The question box held the three questions run together, no graph1.
    box = re.escape(Q001_START) + rb"[^\r\n]*" + re.escape(Q002 + Q003)
    master = read(master_path)
    check(header(b"001", b"001.  Timing a pendulum", True) + notes_record(box) + response_record(), master,
          "master file after assignment 001")
    if b"graph1" in master:
        raise Failure("the graph1 routine line reached the master file")
    return master


def assignment_two(desktop, binary, sample, env, master_path, before, shot_path):
    program, window = start(desktop, binary, sample, env, "2", as_argument=True)
    try:
        for _ in range(2):  # question 1, question 2
            desktop.click(window, NEXT_QUESTION)
        desktop.click(window, ANSWER_BOX)
        desktop.xdotool("key", "ctrl+a")
        desktop.xdotool("type", "--delay", "15", TYPED.decode())
        # Next Question would put the default prompt in the answer's place:
        # the record-or-discard box comes first, and Return records it. The
        # same click then reads `ROUTINE EXIT-PROG, and the run ends.
        desktop.click(window, NEXT_QUESTION)
        question = desktop.wait_window("qalesson", program)
        desktop.screenshot(question, shot_path)
        desktop.focus(question)
        desktop.xdotool("key", "Return")
    except BaseException:
        program.kill()
        raise
    finish(program, "the run at the exit routine")
    rest = read(master_path)[len(before):]
    record = (re.escape(OPENING + INDENT) + TIME + b"\r\n"
              + re.escape(b"\r\n\r\n`questionNumber 20002 \r\n" + Q002_OF_002 + b"\r\n" + OPENING
                          + b"RESPONSE -->  \r\n" + TYPED + b"\r\n" + CLOSING))
    check(header(b"002", b"002.  A marble on an incline", True) + record, rest, "master file after assignment 002")


def refused_file(desktop, binary, env, work, name, content, reason):
    """A refused lesson file: a box before any prompt, the same line on
    standard error, status 2, nothing written."""
    path = os.path.join(work, name)
    if content is not None:
        with open(path, "wb") as f:
            f.write(content)
    drive_before = sorted(os.listdir(env["QALESSON_DRIVE_C"]))
    program = subprocess.Popen([binary, "--lesson", path], env=env, stderr=subprocess.PIPE)
    try:
        box = desktop.wait_window("qalesson", program)
        if desktop.visible("Form1"):
            raise Failure("the window appeared although the lesson file was refused")
        desktop.focus(box)
        desktop.xdotool("key", "Return")
        status = wait_exit(program)
    finally:
        if program.poll() is None:
            program.kill()
    error = program.stderr.read().decode()
    expected = 'qalesson: cannot use the lesson file "%s": %s.\n' % (path, reason)
    if status != 2 or expected not in error:
        raise Failure("refusal gave status %s and standard error %r" % (status, error))
    if sorted(os.listdir(env["QALESSON_DRIVE_C"])) != drive_before:
        raise Failure("a refused lesson file still touched drive C")


REFUSED_FILES = [
    ("no such lesson.txt", None, "it does not exist"),
    ("ticks.txt", "001.  A\nTick \u2713 here\n".encode(),
     'line 2, column 6 holds "\u2713" (U+2713), which Windows-1252 cannot hold'),
    ("one line.txt", b"x" * (4 * 1024 * 1024), "line 1 has more than 65535 characters"),
]


NO_DISPLAY = ("qalesson: cannot open a window: no display (DISPLAY or WAYLAND_DISPLAY is not set, "
              "or the display cannot be reached)\n")


def options(binary, sample):
    """Without a display: the options answer, and a run says why it cannot
    start (a refused lesson file first), with status 2 and no abort."""
    env = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["QT_QPA_PLATFORM"] = "xcb"  # would fail at once if the toolkit started
    missing = os.path.join(os.path.dirname(sample), "no such lesson.txt")
    cases = [(["--help"], 0, "Usage: qalesson", "stdout"), (["--version"], 0, "qalesson ", "stdout"),
             (["--lessons", "x"], 2, "qalesson: unknown option: --lessons\nUsage: qalesson", "stderr"),
             (["--lesson", sample], 2, NO_DISPLAY, "stderr only"),
             ([sample], 2, NO_DISPLAY, "stderr only"),
             (["--lesson", missing], 2,
              'qalesson: cannot use the lesson file "%s": it does not exist.\n' % missing + NO_DISPLAY, "stderr only")]
    for arguments, status, start_text, stream in cases:
        result = subprocess.run([binary, *arguments], env=env, capture_output=True, text=True, timeout=20)
        text = result.stdout if stream == "stdout" else result.stderr
        whole = stream == "stderr only"
        if (result.returncode != status or not text.startswith(start_text)
                or (whole and (text != start_text or result.stdout))):
            raise Failure("%s gave status %d, stdout %r, stderr %r"
                          % (arguments, result.returncode, result.stdout, result.stderr))


def main():
    binary, sample = sys.argv[1], os.path.abspath(sys.argv[2])
    out_dir = sys.argv[3] if len(sys.argv) > 3 else None
    session = None
    try:
        options(binary, sample)
        session = Session("qalesson-lesson-e2e-")
        desktop, env = session.desktop, session.env
        for name, content, reason in REFUSED_FILES:
            refused_file(desktop, binary, env, session.work, name, content, reason)
        master_path = os.path.join(session.drovnel, "masterFile_Ann_Lee.txt")
        master = assignment_one(desktop, binary, sample, env, master_path)
        shot_path = os.path.join(out_dir or session.work, "record-or-discard.png")
        assignment_two(desktop, binary, sample, env, master_path, master, shot_path)
        print("e2e: sample lesson runs, refused lesson file and options passed")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        if session:
            session.close()


if __name__ == "__main__":
    sys.exit(main())
