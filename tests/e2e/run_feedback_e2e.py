#!/usr/bin/env python3
"""The way back, end to end, in the real window under Xvfb.

Ann Lee answers the three questions of the sample lesson's assignment 001
in qalesson; qalesson-report makes the workbook of her send file; openpyxl
writes a mark and a comment into each row (a number, "7/10" and "A-", a
comment of several lines holding each piece of lesson syntax); --feedback
makes her lesson. She opens it as "qalesson FILE" with the same assignment
number: each click shows one marked answer (the question box is carried
over into a note to see exactly what it held), she records a reply to the
first comment, and the run ends at the lesson's exit routine with status 0
after the last question. The next report of her send file shows the reply
under "Timing a pendulum — feedback". A screenshot of the window with the
first marked answer goes to OUTPUT_DIR/feedback-lesson.png.

Usage: run_feedback_e2e.py QALESSON REPORT SAMPLE_LESSON [OUTPUT_DIR]
(run with Debian's python3, for openpyxl)
"""

import csv
import io
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xsession import ANSWER_BOX, ENTER_RESPONSE, NEXT_QUESTION, SAVE_AS_NOTES, Failure, Session, wait_exit  # noqa: E402

QUESTION_BOX = (188, 223)
ANSWERS = ["1.9 s", "About half as long", "Yes: 0.97 s"]
MARKS = [7, "7/10", "A-"]
COMMENTS = ["Good, but:\nshow the steps.", None, "####.#\n002.  A marble\n`routine exitprog\n`q9 x\n001 kg"]
REPLY = "Thank you, the steps are 19 s over 10 swings"


def finish(program, what):
    try:
        status = wait_exit(program)
    finally:
        if program.poll() is None:
            program.kill()
    if status != 0:
        raise Failure("%s ended with status %d" % (what, status))


def rows(report, folder, *files):
    result = subprocess.run([report, *files], cwd=folder, capture_output=True, timeout=60)
    if result.returncode != 0:
        raise Failure("the report gave %d: %r" % (result.returncode, result.stderr))
    return [dict(zip(r and ["file", "student", "initials", "assignment", "lesson", "date", "time", "kind", "record",
                           "question", "text", "id"], r))
            for r in list(csv.reader(io.StringIO(result.stdout.decode("utf-8-sig"), newline="")))[1:]]


def main():
    binary, report, sample = map(os.path.abspath, sys.argv[1:4])
    out_dir = sys.argv[4] if len(sys.argv) > 4 else None
    import openpyxl
    session = None
    try:
        session = Session("qalesson-feedback-e2e-")
        desktop, env, drovnel = session.desktop, session.env, session.drovnel

        # Assignment 001 answered: the graph routine runs unseen before q003.
        program = subprocess.Popen([binary, sample], env=env)
        desktop.answer_prompts(program, "1")
        window = desktop.wait_window("Form1", program)
        for answer in ANSWERS:
            desktop.click(window, NEXT_QUESTION)
            desktop.click(window, ANSWER_BOX)
            desktop.xdotool("type", "--delay", "15", answer)
            desktop.click(window, ENTER_RESPONSE)
        desktop.click(window, NEXT_QUESTION)  # the header of 002 ends the run
        finish(program, "assignment 001")
        send = next(f for f in os.listdir(drovnel) if f.startswith("send_"))

        # The workbook, marked.
        subprocess.run([report, "--xlsx", "answers.xlsx", send], cwd=drovnel, check=True, timeout=60)
        book = openpyxl.load_workbook(os.path.join(drovnel, "answers.xlsx"))
        sheet = book["records"]
        header = [c.value for c in sheet[1]]
        for r, (mark, comment) in enumerate(zip(MARKS, COMMENTS), start=2):
            sheet.cell(r, header.index("mark") + 1, mark)
            sheet.cell(r, header.index("comment") + 1, comment)
        book.save(os.path.join(drovnel, "marked.xlsx"))
        result = subprocess.run([report, "--feedback", "marked.xlsx"], cwd=drovnel, capture_output=True, timeout=60)
        if (result.returncode, result.stderr) != (0, b""):
            raise Failure("--feedback gave %d: %r" % (result.returncode, result.stderr))
        lesson = os.path.join(drovnel, "feedback", "feedback_001_Ann_Lee.txt")
        with open(lesson, "rb") as f:
            lines = [line for line in f.read().split(b"\r\n") if line.startswith(b"`q")]
        if len(lines) != 3:
            raise Failure("the feedback lesson's questions: %r" % lines)

        # The feedback lesson, opened as "Open with" does.
        program = subprocess.Popen([binary, lesson], env=env)
        desktop.answer_prompts(program, "1")
        window = desktop.wait_window("Form1", program)
        try:
            desktop.click(window, NEXT_QUESTION)  # what to do
            desktop.click(window, NEXT_QUESTION)  # the first answer, mark and comment
            shot = os.path.join(out_dir or session.work, "feedback-lesson.png")
            desktop.screenshot(window, shot)
            desktop.click(window, ANSWER_BOX)
            desktop.xdotool("key", "ctrl+a")
            desktop.xdotool("type", "--delay", "15", REPLY)
            desktop.click(window, ENTER_RESPONSE)
            # The second and third, shown without a record between, then
            # the box carried over into a note.
            desktop.click(window, NEXT_QUESTION)
            desktop.click(window, NEXT_QUESTION)
            desktop.click(window, QUESTION_BOX)
            desktop.xdotool("key", "ctrl+a", "ctrl+c")
            desktop.click(window, ANSWER_BOX)
            desktop.xdotool("key", "ctrl+a", "ctrl+v")
            desktop.click(window, SAVE_AS_NOTES)
            # The two blank lines, then the exit routine: the run ends.
            desktop.click(window, NEXT_QUESTION)
        except BaseException:
            program.kill()
            raise
        finish(program, "the feedback lesson")

        got = rows(report, drovnel, send)
        feedback = [r for r in got if r["lesson"] == "Timing a pendulum — feedback"]
        expected = [("response", lines[0].decode("cp1252"), REPLY),
                    ("notes", lines[2].decode("cp1252"), (lines[1] + lines[2]).decode("cp1252"))]
        if [(r["kind"], r["question"], r["text"]) for r in feedback] != expected:
            raise Failure("the next report's feedback rows:\n got      %r\n expected %r"
                          % ([(r["kind"], r["question"], r["text"]) for r in feedback], expected))
        if not all(r["assignment"] == "001" and r["student"] == "Ann Lee" for r in feedback):
            raise Failure("the feedback rows' student and assignment: %r" % feedback)
        if "Comment: ####.# / 002.  A marble / `routine exitprog / `q9 x / 001 kg   " not in feedback[1]["text"]:
            raise Failure("the comment of lesson syntax as it was shown: %r" % expected[1][2])
        print("e2e: the feedback lesson shows every answer, and the reply reaches the next report")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        if session:
            session.close()


if __name__ == "__main__":
    sys.exit(main())
