#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (address and undefined-
# behaviour sanitizers on) and runs each one for a while.
#
#   fuzz/run.sh [--out DIR] [--seconds N] [--build-only] [TARGET...]
#
# DIR (default build-fuzz/) holds the objects, the targets, the corpus that
# the runs grow (seeded from fuzz/corpus/TARGET/) and, after a failure, the
# input that made it (DIR/artifacts/). N is the time per target (default 5).
# TARGETs are names such as numbers_fuzz; all of them by default.
#
# Exit status: 0 when every target ran clean, 1 when one failed, 77 when
# clang or its libFuzzer runtime is not installed (CTest counts it skipped).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/build-fuzz
seconds=5
build_only=0
targets=()
while [ $# -gt 0 ]; do
    case $1 in
    --out) out=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --build-only) build_only=1; shift ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
    esac
done
if [ ${#targets[@]} -eq 0 ]; then
    for f in "$top"/fuzz/*_fuzz.cpp; do
        targets+=("$(basename "$f" .cpp)")
    done
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
probe=$out/probe.cpp
printf '#include <cstddef>\n#include <cstdint>\nextern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n' >"$probe"
if ! command -v clang++ >/dev/null || ! clang++ -fsanitize=fuzzer "$probe" -o "$out/probe" 2>/dev/null; then
    echo "fuzz: clang++ with libFuzzer is not installed (Debian: clang libclang-rt-dev); skipped" >&2
    exit 77
fi

make -s -f "$top/fuzz/Makefile" OUT="$out" -j2 "${targets[@]}"
[ "$build_only" -eq 1 ] && exit 0

mkdir -p "$out/artifacts"
failed=0
for t in "${targets[@]}"; do
    mkdir -p "$out/corpus/$t"
    seeds=()
    [ -d "$top/fuzz/corpus/$t" ] && seeds=("$top/fuzz/corpus/$t")
    echo "fuzz: $t for ${seconds}s"
    if ! "$out/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
        -artifact_prefix="$out/artifacts/$t-" -print_final_stats=1 \
        "$out/corpus/$t" "${seeds[@]}" >"$out/$t.log" 2>&1; then
        echo "fuzz: $t FAILED; its log is $out/$t.log, the input in $out/artifacts/" >&2
        tail -n 30 "$out/$t.log" >&2
        failed=1
    else
        grep -E '^stat::number_of_executed_units|^Done' "$out/$t.log" | sed "s/^/fuzz: $t: /" || true
    fi
done
exit $failed
