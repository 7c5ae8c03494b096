"""A private X server and the few X actions the whole-process benchmarks need."""

import os
import re
import subprocess
import sys
import time

# The end-to-end tests already know how to set up a private X server.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from run_e2e import Session  # noqa: E402

TIMEOUT = 20.0


class XSession:
    """Xvfb on a display it picks itself, and an environment for programs on it
    with drive C and the home folder in a temporary folder."""

    def __enter__(self):
        self.session = Session("qalesson-bench-")
        self.env = dict(self.session.env, LANG="C.UTF-8")
        return self

    def __exit__(self, *exc):
        self.session.close()

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True,
                                timeout=TIMEOUT)
        return result.stdout.split()

    def wait_window(self, title):
        deadline = time.monotonic() + TIMEOUT
        while time.monotonic() < deadline:
            ids = self.xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(title))
            if ids:
                return ids[0]
            time.sleep(0.05)
        raise RuntimeError("no window " + title)

    def answer_prompts(self, replies=("1", "Ann Lee", "ALX", "1")):
        for reply in replies:
            box = self.wait_window("qalesson")
            self.xdotool("windowfocus", "--sync", box)
            self.xdotool("type", "--delay", "10", reply)
            self.xdotool("key", "Return")
            while box in self.xdotool("search", "--onlyvisible", "--name", "^qalesson$"):
                time.sleep(0.05)

    def click(self, window, x, y):
        self.xdotool("mousemove", "--window", window, str(x), str(y), "click", "1")

    def start_map_watch(self):
        """Starts watching the root window; returns the watcher. Its first
        MapNotify line marks the first top-level window shown."""
        watcher = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"],
                                   env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        time.sleep(0.5)  # xev has no ready signal; let it select the root's events
        return watcher


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
