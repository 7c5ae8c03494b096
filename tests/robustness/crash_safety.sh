#!/usr/bin/env bash
# Kills the real program with SIGKILL and SIGTERM around its record commands
# and checks that every finished record survives whole (see crash_safety.py).
#
#   crash_safety.sh QALESSON RECORD_CHECK           # short: 30 records, 4 kills
#   crash_safety.sh QALESSON RECORD_CHECK --long    # 300 records, 30 kills
#   crash_safety.sh QALESSON RECORD_CHECK --records N --kills K [--seed S]
#
# A failure prints the seed; --seed S repeats the same kill moments.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -lt 2 ]; then
    sed -n '2,9p' "$0" >&2
    exit 2
fi
binary=$1 checker=$2
shift 2
if [ "${1:-}" = "--long" ]; then
    shift
    set -- --records 300 --kills 30 "$@"
fi
exec python3 "$here/crash_safety.py" "$binary" "$checker" "$@"
