"""The bytes of the student's files as the end-to-end tests match them: the
fixed lines of a record byte for byte, the date, time and random code line by
pattern."""

import re

from xsession import Failure

# The first question of the built-in lesson.
QUESTION = (b"Give your depth vs. clock time data and explain how you obtained it.  "
            b"How do your results differ from your predictions?")
OPENING = b"......!!!!!!!!...................................\r\n"
CLOSING = b".................................................\r\n"
INDENT = b" " * 36
TIME = rb"\d\d:\d\d:\d\d"
DATE = rb"\d\d-\d\d-\d{4}"
CODE_LINE = rb"[\x42-\x74\x76-\xff]{19,56}\r\n"


def check(pattern, data, what):
    match = re.fullmatch(pattern, data, re.DOTALL)
    if not match:
        raise Failure("%s does not match.\n--- file:\n%r\n--- pattern:\n%r" % (what, data, pattern))
    return match


def read(path):
    with open(path, "rb") as f:
        return f.read()
