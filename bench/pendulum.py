#!/usr/bin/env python3
"""The pendulum timer, measured two ways on a private X server.

1. pendulum_bench: the real window timed from inside: ticks a second and the
   processor time of a tick for each run of 500 ticks (flat means the cost
   does not grow with the circles drawn).
2. The real qalesson program: start-up answered, "pend exp" clicked, then its
   processor use sampled from /proc every 5 seconds for a minute.

Usage: bench/pendulum.py [BUILD_DIR] [SECONDS]     (defaults: build, 60)
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from xsession import Session, cpu_seconds  # noqa: E402

PEND_EXP = (592, 516)  # centre of the "pend exp" button in window pixels


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    with Session("qalesson-bench-", extra_env={"LANG": "C.UTF-8"}) as session:
        print("== pendulum_bench (%d s)" % seconds)
        subprocess.run([os.path.join(build, "bench", "pendulum_bench"), str(seconds)], env=session.env,
                       check=True)

        print("== qalesson, whole process, %d s after pend exp" % seconds)
        process = subprocess.Popen([os.path.join(build, "qalesson")], env=session.env)
        try:
            session.desktop.answer_prompts(process)
            window = session.desktop.wait_window("Form1", process)
            time.sleep(1.0)
            session.desktop.click(window, PEND_EXP)
            start_cpu, start = cpu_seconds(process.pid), time.monotonic()
            last_cpu, last = start_cpu, start
            print("%10s %16s" % ("seconds", "% of one core"))
            while last - start < seconds - 0.5:
                time.sleep(5)
                cpu, now = cpu_seconds(process.pid), time.monotonic()
                print("%5.0f-%-4.0f %16.2f" % (last - start, now - start, 100 * (cpu - last_cpu) / (now - last)))
                last_cpu, last = cpu, now
            print("whole run: %.2f %% of one core"
                  % (100 * (last_cpu - start_cpu) / (last - start)))
        finally:
            process.terminate()
            process.wait()


if __name__ == "__main__":
    main()
