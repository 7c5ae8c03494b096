#!/bin/sh
# Runs a window test program of the Windows build under Wine and prints its
# log. QtTest on Windows writes its log to the debugger, not to standard
# output, when the program has no console (as under Wine with its output
# piped): the log goes to a file instead, printed once the program has ended.
#
# Usage: wine-qtest.sh WINE_RUN PROGRAM.exe LOG_FILE [ARGUMENTS...]
wine_run=$1 program=$2 log=$3
shift 3
rm -f "$log"
"$wine_run" "$program" "$@" -o "$log,txt"
status=$?
cat "$log" 2>/dev/null
exit $status
