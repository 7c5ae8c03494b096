#!/usr/bin/env python3
"""End-to-end test of the Windows build, qalesson.exe, under Wine on Xvfb,
against the Linux build doing the same.

Both programs are driven alike, each on a private X server with drive C
mapped to a folder of its own: the four start-up prompts, Next Question, an
answer with an é and a euro sign typed into the answer box, Enter Response,
Quit. The master and send files the Windows build writes must equal the
Linux build's byte for byte, but for what differs from run to run (the code
line, the date and the times). The Windows build's window is photographed
after the answer is typed.

Then both builds check the sample lesson copied under a name with an é and a
euro sign, and a missing lesson of such a name (qalesson --check FILE): the
name reaches the program intact when the outputs and the statuses are the
same.

Usage: run_wine_e2e.py WINE_RUN LINUX_QALESSON QALESSON_EXE SAMPLE_LESSON OUTPUT_DIR
(WINE_RUN: scripts/wine-run; the screenshot goes to OUTPUT_DIR/window-wine.png)
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from record_patterns import CODE_LINE, DATE, TIME, read  # noqa: E402
from xsession import ANSWER_BOX, ENTER_RESPONSE, NEXT_QUESTION, Failure, Session, quit_window, running  # noqa: E402

# Typed as keys: a keyboard where é and € have keys of their own, as on a
# French one, set before Wine reads the keyboard (once, as it starts). They
# take the places of Q and W, which nothing here types: Wine gives a key
# that no layout of its own has (a spare key code) no virtual key once its
# few spare ones are gone, and drops what it types.
ANSWER = "Café: 5 € a day"
SPARE_KEYS = {"é": ("24", "eacute"), "€": ("25", "EuroSign")}


def keyboard_with_extra_keys(desktop):
    for keycode, keysym in SPARE_KEYS.values():
        subprocess.run(["xmodmap", "-e", "keycode %s = %s" % (keycode, keysym)], env=desktop.env, check=True,
                       timeout=20)


def type_answer(desktop):
    # One key at a time: xdotool types a character missing from the keyboard
    # by remapping a key for an instant, which Wine does not follow.
    for char in ANSWER:
        if char in SPARE_KEYS:
            desktop.xdotool("key", SPARE_KEYS[char][1])
        elif char == " ":
            desktop.xdotool("key", "space")
        else:
            desktop.xdotool("type", "--delay", "15", char)


def lesson_run(command, env_extra, shot_path=None):
    """Runs the lesson; returns {file name: bytes} of what it wrote in drovnel."""
    with Session("qalesson-wine-e2e-", tools=("Xvfb", "xdotool", "xdpyinfo", "xmodmap", "import"),
                 extra_env=env_extra) as session:
        desktop = session.desktop
        keyboard_with_extra_keys(desktop)
        with running(command, session.env) as program:
            desktop.answer_prompts(program)
            window = desktop.wait_window("Form1", program)
            desktop.click(window, NEXT_QUESTION)
            desktop.click(window, ANSWER_BOX)
            desktop.xdotool("key", "ctrl+a")
            type_answer(desktop)
            if shot_path:
                desktop.screenshot(window, shot_path)
            desktop.click(window, ENTER_RESPONSE)
            quit_window(desktop, window, program, command[-1])
        return {name: read(os.path.join(session.drovnel, name)) for name in sorted(os.listdir(session.drovnel))}


def masked(data):
    """The bytes with what differs between two runs replaced: the code line
    (random), the date and the times."""
    data = re.sub(b"\\A" + CODE_LINE, b"<code line>\r\n", data)
    data = re.sub(DATE, b"<date>", data)
    return re.sub(TIME, b"<time>", data)


def compare_records(linux, windows):
    if len(linux) != len(windows) or not any(name.startswith("masterFile_") for name in linux):
        raise Failure("files: Linux %s, Windows %s" % (list(linux), list(windows)))
    for (linux_name, linux_data), (windows_name, windows_data) in zip(linux.items(), windows.items()):
        if masked(linux_name.encode()) != masked(windows_name.encode()):
            raise Failure("file names: Linux %r, Windows %r" % (linux_name, windows_name))
        if b"Caf\xe9: 5 \x80 a day\r\n" not in linux_data:
            raise Failure("%s of the Linux build lacks the answer in Windows-1252: %r" % (linux_name, linux_data))
        if masked(linux_data) != masked(windows_data):
            raise Failure("%s differs:\n Linux   %r\n Windows %r" % (windows_name, masked(linux_data),
                                                                    masked(windows_data)))


def check_run(command):
    # Wine reads the arguments' bytes in the locale's encoding.
    result = subprocess.run(command, capture_output=True, timeout=120, env=dict(os.environ, LANG="C.UTF-8"))
    # A console's lines end in CR LF on Windows (standard output in text mode).
    return result.returncode, result.stdout.replace(b"\r\n", b"\n"), result.stderr.replace(b"\r\n", b"\n")


def check_non_ascii_name(wine_run, linux_binary, exe, sample):
    folder = tempfile.mkdtemp(prefix="qalesson-wine-name-")
    try:
        lesson = os.path.join(folder, "Leçon à 5 €.txt")
        shutil.copyfile(sample, lesson)
        # Found and read (status 0); a missing one is named in the refusal.
        for name, status in ((lesson, 0), (os.path.join(folder, "Leçon absente €.txt"), 2)):
            linux = check_run([linux_binary, "--check", name])
            windows = check_run([wine_run, exe, "--check", name])
            if linux[0] != status or windows != linux:
                raise Failure("--check %r:\n Linux   %r\n Windows %r" % (name, linux, windows))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    wine_run, linux_binary, exe, sample, out_dir = sys.argv[1:6]
    try:
        linux = lesson_run([linux_binary], {"LANG": "C.UTF-8"})
        # Wine's X driver starts on the display of the first program of its
        # prefix: none may be left from an earlier, headless one.
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL, check=False)
        windows = lesson_run([wine_run, exe], {"LANG": "C.UTF-8"}, os.path.join(out_dir, "window-wine.png"))
        subprocess.run(["wineserver", "-k"], stderr=subprocess.DEVNULL, check=False)
        compare_records(linux, windows)
        check_non_ascii_name(wine_run, linux_binary, exe, sample)
        print("wine e2e: the Windows build wrote the Linux build's files; a non-ASCII lesson name reached it")
        return 0
    except Failure as failure:
        print("FAIL: %s" % failure)
        return 1


if __name__ == "__main__":
    sys.exit(main())
