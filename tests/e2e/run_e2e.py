#!/usr/bin/env python3
"""End-to-end test of qalesson under Xvfb.

Starts a private X server, runs the real program with drive C mapped to a
temporary folder, answers the four start-up prompts by typing, pages to the
first question, records a response and a note by clicking the buttons, quits,
and checks the master, send and notes files byte for byte (date and time by
pattern). A second run asks for assignment 2 and must end after the
invalid-assignment message without showing the window or touching a file.

Usage: run_e2e.py QALESSON_BINARY OUTPUT_DIR
(screenshots go there: window.png after start-up, window-answered.png with
the first question and a typed answer)
"""

import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from record_patterns import CLOSING, CODE_LINE, DATE, INDENT, OPENING, QUESTION, TIME, check, read  # noqa: E402
from xsession import (ANSWER_BOX, ENTER_RESPONSE, NEXT_QUESTION, QUIT, SAVE_AS_NOTES, Failure,  # noqa: E402
                      Session, wait_exit)


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
    program = subprocess.Popen([binary], env=env)
    try:
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
        desktop.click(window, QUIT)
        status = wait_exit(program)
    finally:
        if program.poll() is None:
            program.kill()
    if status != 0:
        raise Failure("quit program ended with status %d" % status)

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
    program = subprocess.Popen([binary], env=env)
    try:
        desktop.answer_prompts(program, "2")
        message = desktop.wait_window("qalesson", program)
        if desktop.visible("Form1"):
            raise Failure("the window appeared although start-up failed")
        desktop.focus(message)
        desktop.xdotool("key", "Return")
        status = wait_exit(program)
    finally:
        if program.poll() is None:
            program.kill()
    if status != 0:
        raise Failure("the invalid-assignment end gave status %d" % status)
    after = {name: read(os.path.join(drovnel, name)) for name in os.listdir(drovnel)}
    if after != before:
        raise Failure("files changed by a run that found no assignment")


def main():
    binary, out_dir = sys.argv[1], sys.argv[2]
    session = None
    try:
        session = Session("qalesson-e2e-", tools=("Xvfb", "xdotool", "xdpyinfo", "import", "xprop"))
        lesson_run(session.desktop, binary, session.env, session.drovnel, os.path.join(out_dir, "window.png"))
        wrong_assignment_run(session.desktop, binary, session.env, session.drovnel)
        print("e2e: lesson run and wrong-assignment run passed")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        if session:
            session.close()


if __name__ == "__main__":
    sys.exit(main())
