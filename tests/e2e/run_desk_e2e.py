#!/usr/bin/env python3
"""The instructor's desk as an instructor works it, with the keyboard alone,
under a private X server: a broken lesson checked, fixed in the "editor"
and checked again; tried in the real qalesson, whose files are listed;
three students' mailed files collected into a workbook; that workbook
marked with openpyxl and the feedback returned. What the window says is
read over AT-SPI, as a screen reader reads it, and the files it writes are
compared byte for byte with what qalesson-report writes of the same files.
With SHOTS, a screenshot of each task goes there.

Must run inside its own D-Bus session, which also carries the AT-SPI bus:
    dbus-run-session -- python3 run_desk_e2e.py DESK REPORT REPORT_FILES [SHOTS]
(qalesson is the one beside DESK.)
"""

import filecmp
import glob
import os
import shutil
import subprocess
import sys
import time
import unicodedata

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xsession import QUIT, TIMEOUT, Failure, Session, wait_exit  # noqa: E402

import pyatspi  # noqa: E402

TITLE = "qalesson desk"
BROKEN = b"001.  Sums\r\nWhat is 2+2?\r\n\r\nWhat is 3+3?\r\n"
FIXED = BROKEN + b"\r\n####.#  The end\r\n"
TASKS = ["Check a lesson", "Try it", "Collect answers", "Return feedback"]


def frame_of(program):
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        if program.poll() is not None:
            raise Failure("the desk ended (status %s)" % program.returncode)
        for app in pyatspi.Registry.getDesktop(0):
            if app is None:
                continue
            for window in app:
                if window is not None and window.name == TITLE and window.getRole() == pyatspi.ROLE_FRAME:
                    return window
        time.sleep(0.2)
    raise Failure("no accessible window %r on the AT-SPI bus" % TITLE)


def nodes(root):
    """Every node under root that is showing."""
    out = []
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        out.append(node)
        try:
            if not node.getState().contains(pyatspi.STATE_SHOWING) and node is not root:
                continue
        except Exception:
            continue
        stack.extend(node[i] for i in reversed(range(node.childCount)))  # in the window's order
    return out


def wait_label(frame, start, what, inside=False):
    """Waits for a label of the page shown whose text begins with start (or,
    inside, holds it)."""
    deadline = time.monotonic() + TIMEOUT
    seen = []
    while time.monotonic() < deadline:
        seen = [n.name for n in nodes(frame) if n.getRole() == pyatspi.ROLE_LABEL]
        for name in seen:
            if (start in name) if inside else name.startswith(start):
                return name
        time.sleep(0.2)
    raise Failure("%s: no label %s %r; the labels say %r" % (what, "holding" if inside else "beginning", start,
                                                              seen))


def check_tree(frame):
    """The tabs are the four tasks, each page named after its task, and every
    button of every page has a name."""
    tabs = [n for n in nodes(frame) if n.getRole() == pyatspi.ROLE_PAGE_TAB]
    if [t.name for t in tabs] != TASKS:
        raise Failure("the tabs are %r" % [t.name for t in tabs])
    nameless = [n for n in nodes(frame) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON and not n.name]
    if nameless:
        raise Failure("%d buttons without a name" % len(nameless))


class Desk:
    def __init__(self, session, program):
        self.desktop = session.desktop
        self.program = program
        self.window = self.desktop.wait_window(TITLE, program)
        self.frame = frame_of(program)

    def keys(self, *keys):
        self.desktop.focus(self.window)
        for key in keys:
            self.desktop.xdotool("key", "--clearmodifiers", key)
            time.sleep(0.15)

    def dialog(self, title, text):
        """Types text into the file dialog titled title and accepts it."""
        box = self.desktop.wait_window(title, self.program)
        self.desktop.focus(box)
        self.desktop.xdotool("key", "ctrl+a")
        self.desktop.xdotool("type", "--delay", "10", text)
        self.desktop.xdotool("key", "Return")
        self.desktop.wait_gone(box, title)

    def shot(self, shots, name):
        if shots:
            time.sleep(0.5)
            self.desktop.screenshot(self.window, os.path.join(shots, name))


def wait_file(path):
    deadline = time.monotonic() + TIMEOUT
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            raise Failure("%s was not written" % path)
        time.sleep(0.1)


def mark(workbook, marked):
    import openpyxl

    book = openpyxl.load_workbook(workbook)
    sheet = book["records"]
    head = [c.value for c in sheet[1]]
    col = {name: head.index(name) + 1 for name in ("student", "mark", "comment")}
    for row in range(2, sheet.max_row + 1):
        student = unicodedata.normalize("NFC", sheet.cell(row, col["student"]).value or "")
        if student == "Bob Ng":
            sheet.cell(row, col["mark"], 9)
        elif student == "Zoë Ann":
            sheet.cell(row, col["comment"], "See me about the lenses.")
    book.save(marked)


def main():
    desk_binary, report, report_files = sys.argv[1:4]
    shots = os.path.abspath(sys.argv[4]) if len(sys.argv) > 4 else None
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        print("FAIL: run me under dbus-run-session")
        return 1
    session = program = None
    try:
        session = Session("qalesson-desk-e2e-")
        work = session.work
        temporary = os.path.join(work, "tmp")
        os.makedirs(temporary)
        env = dict(session.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", TMPDIR=temporary)
        # Three students' mailed send files in a folder of their own.
        os.makedirs(os.path.join(work, "made"))
        if subprocess.run([report_files, os.path.join(work, "made")]).returncode != 0:
            raise Failure("report_files could not write the scenario's files")
        mailed = os.path.join(work, "mailed")
        os.makedirs(mailed)
        sent = sorted(glob.glob(os.path.join(work, "made", "drovnel", "send_*.txt")))
        sent = [f for f in sent if "Eve" not in os.path.basename(f)]
        if len(sent) != 3:
            raise Failure("the scenario's send files: %r" % sent)
        for f in sent:
            shutil.copy(f, mailed)
        lesson = os.path.join(work, "sums.txt")
        with open(lesson, "wb") as f:
            f.write(BROKEN)

        pyatspi.Registry.getDesktop(0)
        program = subprocess.Popen([desk_binary], env=env)
        desk = Desk(session, program)
        check_tree(desk.frame)

        # Check a lesson: broken, then fixed and checked again.
        desk.keys("alt+o")
        desk.dialog("Open a lesson", lesson)
        wait_label(desk.frame, "1 finding: ", "the broken lesson")
        desk.shot(shots, "desk-check.png")
        with open(lesson, "wb") as f:
            f.write(FIXED)
        desk.keys("alt+a")
        wait_label(desk.frame, "Nothing found", "the lesson fixed")

        # Try it: the real qalesson on the lesson, with drive C: its own.
        desk.keys("ctrl+Tab", "alt+s")
        student = session.desktop
        student.answer_prompts(program)
        form = student.wait_window("Form1", program)
        student.click(form, QUIT)
        wait_label(desk.frame, "The run ended", "the trial")
        trials = glob.glob(os.path.join(temporary, "qalesson-trial-*", "drovnel", "masterFile_*.txt"))
        if len(trials) != 1:
            raise Failure("the trial's drive C: holds %r" % os.listdir(temporary))
        if os.path.exists(session.drovnel):
            raise Failure("the trial wrote on the desk's own drive C:")
        desk.shot(shots, "desk-try.png")

        # Collect answers: the folder of the three students' files.
        desk.keys("ctrl+Tab", "alt+f")
        desk.dialog("The folder of the mailed files", mailed)
        wait_label(desk.frame, " records of 3 students, ", "the files counted", inside=True)
        desk.keys("alt+w")
        workbook = os.path.join(mailed, "answers.xlsx")
        wait_label(desk.frame, "The workbook", "the workbook written")
        wait_file(workbook)
        desk.shot(shots, "desk-collect.png")

        # Return feedback: marked with openpyxl, previewed, written.
        marked = os.path.join(work, "marked.xlsx")
        mark(workbook, marked)
        desk.keys("ctrl+Tab", "alt+m")
        desk.dialog("The marked workbook", marked)
        wait_label(desk.frame, "2 students get feedback", "the preview")
        desk.keys("alt+w")
        wait_label(desk.frame, " files written into ", "the feedback written", inside=True)
        desk.shot(shots, "desk-feedback.png")
        by_command = os.path.join(work, "by-command")
        subprocess.run([report, "--feedback", marked, "--out", by_command], check=True)
        folder = os.path.join(work, "feedback")
        names = sorted(os.listdir(by_command))
        if sorted(os.listdir(folder)) != names or len(names) != 4:
            raise Failure("the desk wrote %r, the command %r" % (sorted(os.listdir(folder)), names))
        for name in names:
            if not filecmp.cmp(os.path.join(folder, name), os.path.join(by_command, name), shallow=False):
                raise Failure("%s differs from the command's" % name)

        program.terminate()
        wait_exit(program)
        print("e2e: a lesson checked and fixed, tried, three students' files collected, feedback returned")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1
    finally:
        if program and program.poll() is None:
            program.kill()
        if session:
            session.close()


if __name__ == "__main__":
    sys.exit(main())
