#!/usr/bin/env python3
"""Crash safety of the real program: killed at any moment, it loses nothing.

Runs qalesson under a private X server (tests/support/xsession.py),
records responses and notes by typing and clicking, and ends the program right
around the click of a record, again and again, starting it anew each time on
the same files; the last run quits normally. Every other run is killed with
SIGKILL, the others get SIGTERM (as at a desktop logout), which must end the
program with status 0 and never inside a record. Then every record whose
command had finished (it was seen in the master file before the next one was
started) must be in the master and send files (notes also in the notes file)
exactly once and whole, in the order recorded, with no record cut short and
none in only some of its files: a record a SIGKILL caught half-way is taken
back out by the next run (its journal tells how), and no other damage.

Before all that, a run that gets SIGTERM at its first start-up prompt must end
with status 0 and write nothing.

Usage: crash_safety.py QALESSON RECORD_CHECK [--records N] [--kills K] [--seed S]
"""

import argparse
import os
import random
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import xsession  # noqa: E402
from record_patterns import CLOSING  # noqa: E402


def record_bytes(text, note):
    """The tail of a record as it stands in the master file."""
    marker = b"NOTES -------> " if note else b"RESPONSE -->  \r\n"
    return marker + text.encode() + b"\r\n" + CLOSING


def wait_recorded(path, tail, program, timeout=10.0):
    """True once the file holds tail; False if the program died first."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with open(path, "rb") as f:
                if tail in f.read():
                    return True
        except FileNotFoundError:
            pass
        if program.poll() is not None:
            return False
        time.sleep(0.01)
    raise xsession.Failure("record %r not written within %ss" % (tail, timeout))


def blocks(checker, kind, path):
    result = subprocess.run([checker, kind, path, "--allow-torn"], capture_output=True, text=True,
                            encoding="latin-1")
    if result.returncode != 0:
        raise xsession.Failure("%s file is damaged: %s" % (kind, result.stderr.strip()))
    lines = result.stdout.splitlines()
    torn = int(lines[-1].split()[1])
    return [(line[0], line[2:]) for line in lines[:-1]], torn


def end_run(program, how):
    """Ends the run with the signal: SIGTERM must let it end by itself, with status 0."""
    program.send_signal(how)
    status = xsession.wait_exit(program)
    if how == signal.SIGTERM and status != 0:
        raise xsession.Failure("SIGTERM ended the program with status %d" % status)


def start_run(desktop, binary, env, lesson, log):
    """Starts the program and answers the start-up prompts; its output goes to log."""
    with open(log, "ab") as out:
        program = subprocess.Popen([binary, "--lesson", lesson], env=env, stdout=out, stderr=out)
    try:
        desktop.answer_prompts(program)
        return program, desktop.wait_window("Form1", program)
    except xsession.Failure as failure:
        with open(log, "rb") as f:
            raise xsession.Failure("%s; the program wrote:\n%s" % (failure, f.read().decode("latin-1")))


def terminated_at_prompt(desktop, binary, env, lesson, drovnel):
    """SIGTERM while a start-up prompt is shown ends the run at once, writing nothing."""
    program = subprocess.Popen([binary, "--lesson", lesson], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        desktop.wait_window("qalesson", program)
        program.send_signal(signal.SIGTERM)
        status = xsession.wait_exit(program)
        if status != 0:
            raise xsession.Failure("SIGTERM at a prompt ended the program with status %d" % status)
        if os.path.isdir(drovnel) and os.listdir(drovnel):
            raise xsession.Failure("SIGTERM at a prompt left files: %s" % os.listdir(drovnel))
    finally:
        if program.poll() is None:
            program.kill()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("checker")
    parser.add_argument("--records", type=int, default=30)
    parser.add_argument("--kills", type=int, default=4)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    print("crash safety: %d records, %d kills, seed %d" % (args.records, args.kills, seed))

    session = None
    program = None
    try:
        session = xsession.Session("qalesson-crash-")
        work, env, desktop, drovnel = session.work, session.env, session.desktop, session.drovnel
        master = os.path.join(drovnel, "masterFile_Ann_Lee.txt")

        # One question a record, more than any run can use.
        lesson = os.path.join(work, "lesson.txt")
        with open(lesson, "wb") as f:
            f.write(b"001.  Crash safety\r\n")
            for k in range(1, args.records + 2):
                f.write(b"\r\nquestion %d\r\n" % k)

        terminated_at_prompt(desktop, args.binary, env, lesson, drovnel)

        # Each killed run dies around a record drawn from its fair share; the
        # last run records whatever is left and quits.
        runs = args.kills + 1
        share = max(args.records // runs, 1)
        clicked = []    # (text, note) in the order clicked
        # Records a SIGKILL may have caught between one file and the next:
        # the next run keeps each whole in every file or takes it out of all.
        killed_in_flight = []
        finished = []   # those seen in the master file before the next click
        for run in range(runs):
            program, window = start_run(desktop, args.binary, env, lesson,
                                        os.path.join(work, "run%d.log" % (run + 1)))
            killed = run < args.kills
            kill_at = rng.randint(1, share) if killed else None
            how = signal.SIGKILL if run % 2 == 0 else signal.SIGTERM
            k = 0
            while len(clicked) < args.records:
                k += 1
                note = rng.random() < 0.3
                text = "run %d %s %d" % (run + 1, "note" if note else "answer", k)
                desktop.click(window, xsession.NEXT_QUESTION)
                desktop.click(window, xsession.ANSWER_BOX)
                desktop.xdotool("key", "ctrl+a")
                desktop.xdotool("type", "--delay", "5", text)
                if k == kill_at and rng.random() < 0.25:
                    # Killed with the answer typed but not yet recorded.
                    end_run(program, how)
                    break
                desktop.click(window, xsession.SAVE_AS_NOTES if note else xsession.ENTER_RESPONSE)
                clicked.append((text, note))
                if k == kill_at:
                    # From before the command runs to after it ends: it takes
                    # a few milliseconds once the click arrives.
                    time.sleep(rng.uniform(0.0, 0.008))
                    end_run(program, how)
                    if how == signal.SIGKILL:
                        killed_in_flight.append((text, note))
                    break
                if wait_recorded(master, record_bytes(text, note), program):
                    finished.append((text, note))
                else:
                    raise xsession.Failure("the program ended by itself (status %s)" % program.returncode)
            if killed and program.poll() is None:
                program.kill()  # all records done before its moment came
                program.wait()
            elif not killed:
                desktop.click(window, xsession.QUIT)
                if xsession.wait_exit(program) != 0:
                    raise xsession.Failure("quit program ended with status %d" % program.returncode)
            program = None

        sigkills = (args.kills + 1) // 2
        send_name = [n for n in os.listdir(drovnel) if n.startswith("send_")]
        if len(send_name) != 1:
            raise xsession.Failure("expected one send file: %s" % os.listdir(drovnel))
        found = {}
        torn = {}
        for kind, path in (("master", master), ("send", os.path.join(drovnel, send_name[0])),
                           ("notes", os.path.join(drovnel, "notes_Ann_Lee.txt"))):
            found[kind], torn[kind] = blocks(args.checker, kind, path)
            if torn[kind]:
                raise xsession.Failure("%s file: %d records cut short by %d SIGKILLs" % (kind, torn[kind], sigkills))

        headers = [t for k, t in found["master"] if k == "H"]
        if len(headers) != runs or any(t != "Ann Lee" for t in headers):
            raise xsession.Failure("master file holds %d header blocks for %d runs" % (len(headers), runs))
        records = [(t, k == "N") for k, t in found["master"] if k != "H"]

        # A record a SIGKILL caught is in every one of its files or in none.
        if [(t, k == "N") for k, t in found["send"] if k != "H"] != records:
            raise xsession.Failure("send file's records differ from the master file's (%d caught by SIGKILL)"
                                   % len(killed_in_flight))
        if [(t, True) for k, t in found["notes"]] != [r for r in records if r[1]]:
            raise xsession.Failure("notes file's notes differ from the master file's")
        # Each record at most once, in the order clicked, and every finished one there.
        positions = [clicked.index(r) if r in clicked else -1 for r in records]
        if -1 in positions or positions != sorted(set(positions)):
            raise xsession.Failure("records out of order, twice or never clicked: %s" % records)
        missing = [r for r in finished if r not in records]
        if missing:
            raise xsession.Failure("finished records lost: %s" % missing)
        in_flight = len(clicked) - len(finished)
        print("crash safety: %d records finished, %d kills (%d SIGKILL, %d SIGTERM), %d of the %d in "
              "flight kept whole, %d cut short (master)" % (len(finished), args.kills, sigkills,
                                                             args.kills - sigkills, len(records) - len(finished),
                                                             in_flight, torn["master"]))
        return 0
    except xsession.Failure as failure:
        print("FAIL (seed %d): %s" % (seed, failure))
        return 1
    finally:
        if program and program.poll() is None:
            program.kill()
        if session:
            session.close()


if __name__ == "__main__":
    sys.exit(main())
