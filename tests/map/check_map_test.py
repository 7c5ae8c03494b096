#!/usr/bin/env python3
"""scripts/check-map fails on a planted violation of each of its rules: a
copy of the tree gets one wrong include (or loses one) at a time, and the
check must exit 1 naming it; the copy as it is passes."""
import pathlib
import shutil
import subprocess
import sys
import tempfile

top = pathlib.Path(__file__).resolve().parents[2]

# (what, file, line added ("" for none), line taken out ("" for none), what the check must say)
CASES = [
    ("a project header with <>", "src/run/StartUp.cpp", "#include <instructor/LessonCheck.h>", "",
     "includes the project's <instructor/LessonCheck.h> with <>"),
    ("a project header by ..", "src/window/QtToolkit.cpp", '#include "../window/MainWindow.h"', "",
     'includes "../window/MainWindow.h" by a path with ".."'),
    ("a test's header by ..", "tests/platform/NumbersTest.cpp", '#include "../fakes/TempDrive.h"', "",
     'includes "../fakes/TempDrive.h" by a path with ".."'),
    ("a system header in the core", "src/paging/QuestionReader.cpp", "#include <unistd.h>", "",
     "src/paging/QuestionReader.cpp: includes the system header <unistd.h>"),
    ("a system header in a window file not named", "src/window/MainWindow.cpp", "#include <fcntl.h>", "",
     "src/window/MainWindow.cpp: includes the system header <fcntl.h>"),
    ("a named exception's header gone", "src/window/EndSignals.cpp", "", "#include <fcntl.h>",
     "the exception for window/EndSignals.cpp names <fcntl.h>, which it does not include"),
    ("a core test including the window", "tests/platform/NumbersTest.cpp", '#include "window/MainWindow.h"', "",
     "includes window/, which the row of tests/ does not name"),
    ("a benchmark including the checker", "bench/record_bench.cpp", '#include "instructor/LessonCheck.h"', "",
     "includes instructor/, which the row of bench/ does not name"),
    ("a fuzz target including the records", "fuzz/numbers_fuzz.cpp", '#include "recording/Records.h"', "",
     "includes recording/, which the row of fuzz/ does not name"),
    ("a Qt header in the core", "src/run/StartUp.cpp", "#include <QString>", "",
     "src/run/StartUp.cpp: includes a Qt header outside the window folders"),
    ("a Qt header in the desk's logic", "src/desk/Collection.cpp", "#include <QString>", "",
     "src/desk/Collection.cpp: includes a Qt header outside the window folders"),
    ("the desk reaching into the records", "src/desk/window/DeskWindow.cpp", '#include "recording/Records.h"', "",
     "includes recording/, which the row of desk/ does not name"),
]


def check(tree):
    return subprocess.run([sys.executable, str(tree / "scripts" / "check-map"), str(tree)], capture_output=True,
                          text=True)


def main():
    failures = []
    with tempfile.TemporaryDirectory(prefix="check-map-") as temp:
        tree = pathlib.Path(temp)
        for part in ("src", "tests", "bench", "fuzz", "docs"):
            shutil.copytree(top / part, tree / part, ignore=shutil.ignore_patterns("corpus", "*.png"))
        (tree / "scripts").mkdir()
        shutil.copy(top / "scripts" / "check-map", tree / "scripts" / "check-map")
        clean = check(tree)
        if clean.returncode != 0:
            failures.append("the copy as it is: exit %d\n%s" % (clean.returncode, clean.stdout))
        for what, name, added, removed, said in CASES:
            path = tree / name
            before = path.read_text(encoding="utf-8")
            if removed and removed not in before:
                failures.append("%s: %s holds no %s" % (what, name, removed))
                continue
            after = before.replace(removed + "\n", "", 1) if removed else before
            if added:
                after = added + "\n" + after
            path.write_text(after, encoding="utf-8")
            result = check(tree)
            path.write_text(before, encoding="utf-8")
            if result.returncode != 1 or said not in result.stdout:
                failures.append("%s: exit %d, wanted 1 saying %r; it said:\n%s" % (what, result.returncode, said,
                                                                                   result.stdout))
    for failure in failures:
        print("check_map_test: " + failure)
    print("check_map_test: %d of %d cases right" % (len(CASES) + 1 - len(failures), len(CASES) + 1))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
