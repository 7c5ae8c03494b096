"""A private X server for the tests and benchmarks that run the real program,
and the X actions that drive it: typing into the start-up prompts, clicking
the window's controls, taking screenshots, watching windows appear.

Every script that needs it imports it from this folder (tests/support).
"""

import contextlib
import os
import re
import shutil
import subprocess
import tempfile
import time

TIMEOUT = 20.0

# Centres of the controls, in window pixels (twips / 15).
NEXT_QUESTION = (48, 24)
ENTER_RESPONSE = (404, 32)
SAVE_AS_NOTES = (460, 32)
ANSWER_BOX = (544, 223)
QUIT = (700, 16)


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
    the program, in a work folder that close() removes with the server (or
    the end of a with block). env holds the environment for programs on it,
    with the given extra variables."""

    def __init__(self, prefix, tools=("Xvfb", "xdotool"), extra_env=None):
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
                        XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb", **(extra_env or {}))
        self.drovnel = os.path.join(self.drive, "drovnel")
        self.desktop = Desktop(self.env)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

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

    def answer_prompts(self, program, assignment="1"):
        """Answers the four start-up prompts as Ann Lee (initials ALX, a home user) on this assignment."""
        for reply in ("1", "Ann Lee", "ALX", assignment):
            self.answer_prompt(program, reply)

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

    def start_map_watch(self):
        """Starts watching the root window; returns the watcher. Its first
        MapNotify line marks the first top-level window shown (see wait_map)."""
        watcher = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                                   env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        time.sleep(0.5)  # xev has no ready signal; let it select the root's events
        return watcher


@contextlib.contextmanager
def running(command, env, **popen):
    """The program, started with command; killed at the end of the with
    block when it still runs there (a step failed)."""
    program = subprocess.Popen(command, env=env, **popen)
    try:
        yield program
    finally:
        if program.poll() is None:
            program.kill()


def quit_window(desktop, window, program, what):
    """Clicks Quit in the lesson window; the program must then end with
    status 0."""
    desktop.click(window, QUIT)
    status = wait_exit(program)
    if status != 0:
        raise Failure("%s: quit ended with status %d" % (what, status))


def wait_exit(program):
    try:
        return program.wait(timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        program.kill()
        raise Failure("program did not end")


# --- For the whole-process benchmarks ---


def wait_map(watcher):
    for line in watcher.stdout:
        if line.startswith(b"MapNotify"):
            return time.monotonic()
    raise RuntimeError("the watcher ended")


def memory_kib(pid):
    """Resident and proportional set sizes of a process, in KiB."""
    values = {}
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("Rss", "Pss"):
                values[key] = int(rest.split()[0])
    return values["Rss"], values["Pss"]


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime + stime
    return ticks / os.sysconf("SC_CLK_TCK")
