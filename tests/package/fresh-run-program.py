#!/usr/bin/env python3
"""The README's first command, as a newcomer runs it: ./scripts/run-program
in CHECKOUT (which installs what is missing, builds, and starts the program)
on a private X server. It waits for the first start-up prompt, answers the
four prompts as Ann Lee, pages to the first question, records an answer,
quits, and copies the send file the run wrote into OUTPUT_DIR (the installed
report reads it on another fresh system).

Usage: fresh-run-program.py CHECKOUT OUTPUT_DIR
"""

import glob
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xsession import ANSWER_BOX, ENTER_RESPONSE, NEXT_QUESTION, Failure, Session, quit_window, running  # noqa: E402

# run-program checks the packages and the build before the program starts.
FIRST_PROMPT_TIMEOUT = 600
ANSWER = "A fresh answer"


def main():
    checkout, output = sys.argv[1:3]
    with Session("qalesson-fresh-") as session:
        desktop = session.desktop
        with running([os.path.join(checkout, "scripts", "run-program")], session.env) as program:
            deadline = time.monotonic() + FIRST_PROMPT_TIMEOUT
            while not desktop.visible("qalesson"):
                if program.poll() is not None:
                    raise Failure("run-program ended with status %d before the first prompt" % program.returncode)
                if time.monotonic() > deadline:
                    raise Failure("no start-up prompt within %d s" % FIRST_PROMPT_TIMEOUT)
                time.sleep(0.5)
            desktop.answer_prompts(program)
            window = desktop.wait_window("Form1", program)
            desktop.click(window, NEXT_QUESTION)
            desktop.click(window, ANSWER_BOX)
            desktop.xdotool("key", "ctrl+a")
            desktop.xdotool("type", "--delay", "15", ANSWER)
            desktop.click(window, ENTER_RESPONSE)
            quit_window(desktop, window, program, "run-program")
        sends = glob.glob(os.path.join(session.drovnel, "send_*Ann_Lee.txt"))
        if len(sends) != 1:
            raise Failure("expected one send file in %s, found %s" % (session.drovnel, os.listdir(session.drovnel)))
        with open(sends[0], "rb") as f:
            if b"RESPONSE -->  \r\n" + ANSWER.encode() + b"\r\n" not in f.read():
                raise Failure("%s does not hold the answer typed" % sends[0])
        shutil.copy(sends[0], output)
        print("run-program started the program; the answer is in", os.path.basename(sends[0]))


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print("FAIL:", failure, file=sys.stderr)
        sys.exit(1)
