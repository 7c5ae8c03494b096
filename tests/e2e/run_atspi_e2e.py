#!/usr/bin/env python3
"""What a screen reader meets in the running qalesson window, over AT-SPI.

Runs the real program under a private X server with its accessibility
bridge on, answers the start-up prompts by typing, then reads the window's
accessibility tree the way a screen reader does: every control's role, name
and description, and which label names which box. Then it presses "Next
Question / Answer" through the button's accessible action and reads the
first question back from the question box's accessible text.

Must run inside its own D-Bus session, which also carries the AT-SPI bus:
    dbus-run-session -- python3 run_atspi_e2e.py QALESSON_BINARY

Usage: run_atspi_e2e.py QALESSON_BINARY
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from record_patterns import QUESTION  # noqa: E402
from xsession import TIMEOUT, Failure, Session, wait_exit  # noqa: E402

import pyatspi  # noqa: E402

ANSWER_PROMPT = ("Enter, as appropriate, an answer to the question, a critique of your answer in response to a "
                 "given answer, your insights regarding the situation at this point, notes to yourself, or just "
                 "an OK.")

# What the controls that do nothing say of themselves.
INERT = "Does nothing in this program."

# (role, name, description) of every control a person can reach, in the
# window's order; a box named by a label also says which label names it.
BUTTON, LABEL, TEXT, PICTURE, LIST = (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_LABEL, pyatspi.ROLE_TEXT,
                                      pyatspi.ROLE_IMAGE, pyatspi.ROLE_LIST)
EXPECTED = [
    (TEXT, "question box", ""),
    (TEXT, "answer box", ANSWER_PROMPT),
    (BUTTON, "Next Question / Answer", ""),
    (BUTTON, "Enter Response", ""),
    (PICTURE, "picture 1", ""),
    (PICTURE, "picture 2", ""),
    (BUTTON, "Save as Notes", ""),
    (BUTTON, "Make Paragraph", INERT),
    (BUTTON, "Make Paragraph", INERT),
    (TEXT, "# sentences previous", INERT),
    (LABEL, "# sentences previous", ""),
    (BUTTON, "Trigger Timer", INERT),
    (LIST, "list", INERT),
    (LABEL, "Parameter 1", ""),
    (TEXT, "Parameter 1", INERT),
    (LABEL, "Parameter 2", ""),
    (TEXT, "Parameter 2", INERT),
    (LABEL, "Parameter 3", ""),
    (TEXT, "Parameter 3", INERT),
    (LABEL, "Parameter 4", ""),
    (TEXT, "Parameter 4", INERT),
    (BUTTON, "display everything", ""),
    (BUTTON, "display notes", ""),
    (BUTTON, "quit program", ""),
    (BUTTON, "pend exp", ""),
    (BUTTON, "next picture", ""),
    (LABEL, "click only if prompted", ""),
    (BUTTON, "copy picture", ""),
    (BUTTON, "clear box", ""),
]
LABELLED = {"# sentences previous", "Parameter 1", "Parameter 2", "Parameter 3", "Parameter 4"}


def find_window(program):
    """The accessible frame "Form1" of the program, once it is there."""
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        if program.poll() is not None:
            raise Failure("the program ended (status %s)" % program.returncode)
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None or app.name != "qalesson":
                continue
            for window in app:
                if window is not None and window.name == "Form1" and window.getRole() == pyatspi.ROLE_FRAME:
                    return window
        time.sleep(0.2)
    raise Failure("no accessible window Form1 of qalesson on the AT-SPI bus")


def controls(window):
    """The window's controls."""
    return [child for child in window if child is not None]


def described(node):
    return (node.getRole(), node.name, node.description)


def check_tree(window):
    seen = sorted(described(c) for c in controls(window))
    expected = sorted(EXPECTED)
    if seen != expected:
        missing = [e for e in expected if e not in seen]
        extra = [s for s in seen if s not in expected]
        raise Failure("accessible controls differ.\nmissing: %r\nnot expected: %r" % (missing, extra))
    for node in controls(window):
        if node.getRole() != TEXT or node.name not in LABELLED:
            continue
        labels = [target.name for relation in node.getRelationSet()
                  if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                  for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
        if labels != [node.name]:
            raise Failure("the box %r is labelled by %r" % (node.name, labels))


def press_next_question(window):
    """Next Question through the button's own action, as a screen reader's
    user would; the question then reads back from the question box."""
    button = next(c for c in controls(window) if c.getRole() == BUTTON and c.name == "Next Question / Answer")
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names:
        raise Failure("Next Question offers the actions %r" % names)
    action.doAction(names.index("Press"))
    box = next(c for c in controls(window) if c.name == "question box")
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        text = box.queryText()
        shown = text.getText(0, text.characterCount)
        if shown == QUESTION.decode("cp1252"):
            return
        time.sleep(0.1)
    raise Failure("the question box reads %r after Next Question" % shown)


def main():
    binary = sys.argv[1]
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        print("FAIL: run me under dbus-run-session")
        return 1
    session = None
    program = None
    try:
        session = Session("qalesson-atspi-")
        env = dict(session.env, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        # The accessibility bus and its registry start on first use; a
        # program finds them only when they are up before it starts, as on
        # a desktop with a screen reader running.
        pyatspi.Registry.getDesktop(0)
        program = subprocess.Popen([binary], env=env)
        session.desktop.answer_prompts(program)
        session.desktop.wait_window("Form1", program)
        window = find_window(program)
        check_tree(window)
        press_next_question(window)
        program.terminate()
        wait_exit(program)
        print("e2e: the accessibility tree names every control, and Next Question works through it")
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
