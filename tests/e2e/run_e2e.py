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
import shutil
import subprocess
import sys
import tempfile
import time

QUESTION = (b"Give your depth vs. clock time data and explain how you obtained it.  "
            b"How do your results differ from your predictions?")
OPENING = b"......!!!!!!!!...................................\r\n"
CLOSING = b".................................................\r\n"
INDENT = b" " * 36
TIME = rb"\d\d:\d\d:\d\d"
DATE = rb"\d\d-\d\d-\d{4}"
CODE_LINE = rb"[\x42-\x74\x76-\xff]{19,56}\r\n"

# Centres of the controls, in window pixels (twips / 15).
NEXT_QUESTION = (48, 24)
ENTER_RESPONSE = (404, 32)
SAVE_AS_NOTES = (460, 32)
ANSWER_BOX = (544, 223)
QUIT = (700, 16)

TIMEOUT = 20.0


class Failure(Exception):
    pass


def start_x_server():
    """Starts Xvfb on a display it picks itself and returns (process, display).

    The server names its display once it listens; a client must then be able
    to connect (another server starting at the same moment can take the same
    number), or the server is started again."""
    for _ in range(5):
        read_end, write_end = os.pipe()
        server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        display = ":" + number.decode().strip()
        if number.endswith(b"\n") and server.poll() is None and subprocess.run(
                ["xdpyinfo", "-display", display], stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, timeout=TIMEOUT).returncode == 0 and server.poll() is None:
            return server, display
        server.terminate()
        server.wait()
    raise Failure("Xvfb did not start")


class Session:
    """A private X server, and temporary drive C, home and runtime folders for
    the program, in a work folder that close() removes with the server."""

    def __init__(self, prefix, tools=("Xvfb", "xdotool")):
        missing = [tool for tool in tools if not shutil.which(tool)]
        if missing:
            raise Failure("missing tool: " + ", ".join(missing))
        self.work = tempfile.mkdtemp(prefix=prefix)
        self.server = None
        try:
            self.server, display = start_x_server()
        except BaseException:
            self.close()
            raise
        self.drive = os.path.join(self.work, "c")
        home = os.path.join(self.work, "home")
        runtime = os.path.join(self.work, "run")
        for folder in (self.drive, home, runtime):
            os.makedirs(folder, mode=0o700)
        self.env = dict(os.environ, DISPLAY=display, HOME=home, QALESSON_DRIVE_C=self.drive,
                        XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb")
        self.drovnel = os.path.join(self.drive, "drovnel")
        self.desktop = Desktop(self.env)

    def close(self):
        if self.server:
            self.server.terminate()
            self.server.wait()
            self.server = None
        shutil.rmtree(self.work, ignore_errors=True)


class Desktop:
    def __init__(self, env):
        self.env = env

    def xdotool(self, *args, timeout=TIMEOUT):
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True,
                                text=True, timeout=timeout)
        return result.returncode, result.stdout.split()

    def visible(self, title):
        _, ids = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(title))
        return ids

    def wait_window(self, title, program):
        """Waits until a window with this title is shown; the program must still run."""
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            ids = self.visible(title)
            if ids:
                return ids[0]
            if program.poll() is not None:
                raise Failure("program ended (status %s) while waiting for %r" % (program.returncode, title))
            time.sleep(0.05)
        raise Failure("no window %r within %ss" % (title, TIMEOUT))

    def wait_gone(self, window, title):
        deadline = time.monotonic() + TIMEOUT
        while window in self.visible(title):
            if time.monotonic() > deadline:
                raise Failure("window %s (%r) did not close" % (window, title))
            time.sleep(0.05)

    def focus(self, window):
        self.xdotool("windowfocus", "--sync", window)

    def answer_prompt(self, program, reply):
        box = self.wait_window("qalesson", program)
        self.focus(box)
        if reply:
            self.xdotool("type", "--delay", "15", reply)
        self.xdotool("key", "Return")
        self.wait_gone(box, "qalesson")

    def require_icon(self, window, what):
        """The window offers the window manager an icon (_NET_WM_ICON) of its own."""
        result = subprocess.run(["xprop", "-id", window, "_NET_WM_ICON"], env=self.env,
                                capture_output=True, text=True, timeout=TIMEOUT)
        if "Icon (" not in result.stdout:
            raise Failure("%s has no icon: %s" % (what, (result.stdout + result.stderr).strip()))

    def click(self, window, point):
        self.xdotool("mousemove", "--window", window, str(point[0]), str(point[1]), "click", "1")

    def screenshot(self, window, path):
        """Takes the window once two shots in a row agree (painting has settled)."""
        previous = None
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            subprocess.run(["import", "-window", window, path], env=self.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with open(path, "rb") as f:
                shot = f.read()
            if shot == previous:
                return
            previous = shot
            time.sleep(0.2)


def wait_exit(program):
    try:
        return program.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        program.kill()
        raise Failure("program did not end")


def check(pattern, data, what):
    match = re.fullmatch(pattern, data, re.DOTALL)
    if not match:
        raise Failure("%s does not match.\n--- file:\n%r\n--- pattern:\n%r" % (what, data, pattern))
    return match


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


def read(path):
    with open(path, "rb") as f:
        return f.read()


def lesson_run(desktop, binary, env, drovnel, shot_path):
    program = subprocess.Popen([binary], env=env)
    try:
        for reply in ("1", "Ann Lee", "ALX", "1"):
            desktop.answer_prompt(program, reply)
        window = desktop.wait_window("Form1", program)
        desktop.require_icon(window, "the lesson window")
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
        for reply in ("1", "Ann Lee", "ALX", "2"):
            desktop.answer_prompt(program, reply)
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
