#!/usr/bin/env python3
"""The instructor's desk as an instructor works it, with the keyboard alone,
under a private X server: a broken lesson checked, fixed in the "editor"
and checked again; tried in the real qalesson, whose files are listed;
three students' mailed files collected into a workbook; that workbook
marked with openpyxl and the feedback returned. The finding selected is
copied (Ctrl+C) and read off the clipboard; the files the desk writes are
compared with what qalesson-report writes of the same files (the feedback
byte for byte, the workbook cell for cell). On Linux what the window says
is read over AT-SPI too, as a screen reader reads it. With SHOTS, a
screenshot of each task goes there.

On Linux it must run inside its own D-Bus session, which also carries the
AT-SPI bus:
    dbus-run-session -- python3 run_desk_e2e.py DESK REPORT REPORT_FILES [SHOTS]
Under Wine (WINE_RUN: scripts/wine-run; DESK is qalesson-desk.exe, REPORT
and REPORT_FILES the Linux build's, the reference):
    python3 run_desk_e2e.py --wine WINE_RUN DESK REPORT REPORT_FILES [SHOTS]
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
import xsession  # noqa: E402
from xsession import QUIT, Failure, Session, wait_exit  # noqa: E402

pyatspi = None  # imported on Linux only: nothing reads a Wine program's tree

TITLE = "qalesson desk"
BROKEN = b"001.  Sums\r\nWhat is 2+2?\r\n\r\nWhat is 3+3?\r\n"
FIXED = BROKEN + b"\r\n####.#  The end\r\n"
TASKS = ["Check a lesson", "Try it", "Collect answers", "Return feedback"]


def frame_of(program):
    deadline = time.monotonic() + xsession.TIMEOUT
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
    deadline = time.monotonic() + xsession.TIMEOUT
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
    """The desk on the session's display. Under Wine (wine set) nothing reads
    the window's texts: its labels are not waited for, and its file dialogs
    take Windows paths (Z: is the root of the Linux files)."""

    def __init__(self, session, program, wine):
        self.desktop = session.desktop
        self.program = program
        self.wine = wine
        self.window = self.desktop.wait_window(TITLE, program)
        self.frame = None if wine else frame_of(program)
        if self.frame:
            check_tree(self.frame)

    def keys(self, *keys):
        self.desktop.focus(self.window)
        for key in keys:
            self.desktop.xdotool("key", "--clearmodifiers", key)
            time.sleep(0.4 if self.wine else 0.15)

    def press_for(self, key, done, what):
        """Presses the key until done() (under Wine no label tells when the
        button it presses is enabled: its work runs in the background)."""
        deadline = time.monotonic() + xsession.TIMEOUT
        while time.monotonic() < deadline:
            self.keys(key)
            pressed = time.monotonic()
            while time.monotonic() < pressed + 10:
                if done():
                    return
                time.sleep(0.2)
        raise Failure(what)

    def label(self, start, what, inside=False):
        if self.frame:
            wait_label(self.frame, start, what, inside)

    def dialog(self, title, path, folder=False):
        """Types path into the file dialog titled title (a folder's, under
        Wine, has Wine's own title) and accepts it."""
        if folder and self.wine:
            title = "Select Folder"
        box = self.desktop.wait_window(title, self.program)
        self.desktop.focus(box)
        text = self.native(path)
        self.desktop.xdotool("key", "ctrl+a")
        self.desktop.xdotool("type", "--delay", "10", text)
        self.desktop.xdotool("key", "Return")
        self.desktop.wait_gone(box, title)

    def native(self, path):
        """The path as the desk's system names it."""
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def copied(self, *keys):
        """What the clipboard holds after the keys and Ctrl+C, "" when they
        copied nothing."""
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"", env=self.desktop.env, check=True,
                       timeout=xsession.TIMEOUT)
        self.keys(*keys, "ctrl+c")
        deadline = time.monotonic() + 2
        text = ""
        while not text and time.monotonic() < deadline:
            text = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, text=True,
                                  env=self.desktop.env, timeout=xsession.TIMEOUT).stdout
            time.sleep(0.2)
        return text

    def shot(self, shots, name):
        if shots:
            time.sleep(0.5)
            self.desktop.screenshot(self.window, os.path.join(shots, name))


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


def finding_line(qalesson, lesson):
    """The lesson's one finding as qalesson --check prints it, without its
    file's name: ":LINE: error: ..."."""
    out = subprocess.run([qalesson, "--check", lesson], capture_output=True, text=True, timeout=60).stdout
    lines = out.splitlines()
    if len(lines) != 1 or not lines[0].startswith(lesson + ":"):
        raise Failure("qalesson --check says %r" % out)
    return lines[0][len(lesson):]


def trial_masters(temporary, wine):
    """The master files of the trials in the temporary folder (under Wine,
    also in the Wine user's)."""
    folders = [temporary]
    if wine:
        prefix = os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine"))
        folders += glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Local", "Temp"))
        folders += glob.glob(os.path.join(prefix, "drive_c", "users", "*", "Temp"))
    return {m for folder in folders
            for m in glob.glob(os.path.join(folder, "qalesson-trial-*", "drovnel", "masterFile_*.txt"))}


def cells(workbook):
    import openpyxl

    book = openpyxl.load_workbook(workbook, read_only=True)
    return {sheet.title: [tuple(row) for row in sheet.iter_rows(values_only=True)] for sheet in book.worksheets}


def compare_folders(folder, by_command, count):
    names = sorted(os.listdir(by_command))
    if sorted(os.listdir(folder)) != names or len(names) != count:
        raise Failure("the desk wrote %r, the command %r" % (sorted(os.listdir(folder)), names))
    for name in names:
        if not filecmp.cmp(os.path.join(folder, name), os.path.join(by_command, name), shallow=False):
            raise Failure("%s differs from the command's" % name)


def main():
    global pyatspi
    args = sys.argv[1:]
    wine_run = None
    if args[:1] == ["--wine"]:
        wine_run, args = args[1], args[2:]
    desk_binary, report, report_files = args[:3]
    shots = os.path.abspath(args[3]) if len(args) > 3 else None
    if wine_run:
        # Wine starts its windows, dialogs and programs far more slowly.
        xsession.TIMEOUT = 90.0
    elif "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        print("FAIL: run me under dbus-run-session")
        return 1
    else:
        import pyatspi as atspi

        pyatspi = atspi
    session = program = None
    try:
        session = Session("qalesson-desk-e2e-", tools=("Xvfb", "xdotool", "xclip"))
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
        finding = finding_line(os.path.join(os.path.dirname(report), "qalesson"), lesson)

        if wine_run:
            # Wine's X driver starts on the display of the first program of
            # its prefix: none may be left from an earlier, headless one.
            subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL, check=False)
            program = subprocess.Popen([wine_run, desk_binary], env=env)
        else:
            pyatspi.Registry.getDesktop(0)
            program = subprocess.Popen([desk_binary], env=env)
        desk = Desk(session, program, wine_run is not None)

        # Check a lesson: broken, then fixed and checked again. The finding
        # selected is copied from the list (after Open and Check again) as
        # --check prints it, with the path as the file dialog gave it.
        desk.keys("alt+o")
        desk.dialog("Open a lesson", lesson)
        desk.label("1 finding: ", "the broken lesson")
        copied = desk.copied()
        if not copied.endswith(finding) or "sums.txt:" not in copied:
            raise Failure("the finding selected copies as %r, not as --check prints it: %r" % (copied, finding))
        desk.shot(shots, "desk-check.png")
        with open(lesson, "wb") as f:
            f.write(FIXED)
        desk.keys("alt+a")
        desk.label("Nothing found", "the lesson fixed")
        copied = desk.copied()
        if copied:
            raise Failure("the lesson fixed still lists a finding: %r" % copied)

        # Try it: the real qalesson on the lesson, with drive C: its own.
        earlier_trials = trial_masters(temporary, wine_run)  # a Wine prefix's, from its earlier runs
        desk.keys("ctrl+Tab", "alt+s")
        student = session.desktop
        student.answer_prompts(program)
        form = student.wait_window("Form1", program)
        student.click(form, QUIT)
        student.wait_gone(form, "Form1")
        desk.label("The run ended", "the trial")
        deadline = time.monotonic() + xsession.TIMEOUT
        while not trial_masters(temporary, wine_run) - earlier_trials and time.monotonic() < deadline:
            time.sleep(0.2)
        if len(trial_masters(temporary, wine_run) - earlier_trials) != 1:
            raise Failure("the trial's drive C: holds %r" % (trial_masters(temporary, wine_run) - earlier_trials))
        if os.path.exists(session.drovnel):
            raise Failure("the trial wrote on the desk's own drive C:")
        desk.shot(shots, "desk-try.png")

        # Collect answers: the folder of the three students' files, into
        # the workbook qalesson-report writes of them.
        desk.keys("ctrl+Tab", "alt+f")
        desk.dialog("The folder of the mailed files", mailed, folder=True)
        desk.label(" records of 3 students, ", "the files counted", inside=True)
        workbook = os.path.join(mailed, "answers.xlsx")
        desk.press_for("alt+w", lambda: os.path.exists(workbook), "%s was not written" % workbook)
        desk.label("The workbook", "the workbook written")
        desk.shot(shots, "desk-collect.png")
        by_command = os.path.join(work, "by-command.xlsx")
        subprocess.run([report, "--xlsx", by_command] + [os.path.join(mailed, os.path.basename(f)) for f in sent],
                       check=True)
        expected = cells(by_command)
        if wine_run:  # the file column names the files as Windows does
            expected["records"] = [expected["records"][0]] + [
                (desk.native(row[0]),) + row[1:] for row in expected["records"][1:]]
        if cells(workbook) != expected:
            raise Failure("the desk's workbook differs from the command's:\n %r\n %r" % (cells(workbook),
                                                                                       expected))

        # Return feedback: marked with openpyxl, previewed, written.
        marked = os.path.join(work, "marked.xlsx")
        mark(workbook, marked)
        desk.keys("ctrl+Tab", "alt+m")
        desk.dialog("The marked workbook", marked)
        desk.label("2 students get feedback", "the preview")
        folder = os.path.join(work, "feedback")
        desk.press_for("alt+w", lambda: os.path.isdir(folder) and len(os.listdir(folder)) == 4 and
                       not any(name.endswith(".part") for name in os.listdir(folder)),
                       "no feedback written into %s" % folder)
        desk.label(" files written into ", "the feedback written", inside=True)
        desk.shot(shots, "desk-feedback.png")
        by_command = os.path.join(work, "by-command")
        subprocess.run([report, "--feedback", marked, "--out", by_command], check=True)
        compare_folders(folder, by_command, 4)

        program.terminate()
        wait_exit(program)
        print("e2e%s: a lesson checked and fixed, tried, three students' files collected, feedback returned"
              % (" under Wine" if wine_run else ""))
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        if shots and session:
            subprocess.run(["import", "-window", "root", os.path.join(shots, "failure.png")], env=session.env,
                           check=False, timeout=xsession.TIMEOUT)
            print("the screen then: %s" % os.path.join(shots, "failure.png"))
        return 1
    finally:
        if program and program.poll() is None:
            program.kill()
        if wine_run:
            subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL, check=False)
        if session:
            session.close()


if __name__ == "__main__":
    sys.exit(main())
