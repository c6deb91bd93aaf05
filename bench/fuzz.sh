#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the native player's fuzzer with clang into build/fuzz and runs it
# on the seeds in tests/data/native/fuzz-seeds.
#   bench/fuzz.sh [executions] [extra libFuzzer options...]
# Exits non-zero when the build fails or the fuzzer finds a crash, a hang
# (past 10 s for one input) or memory use past 2 GB; the input that did it is
# kept in build/fuzz/crashes/. For a long run that goes on past what it
# finds, add: -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10000000}
shift || true
build=${ZORVINA_FUZZ_BUILD:-$root/build/fuzz}
corpus=$build/corpus
crashes=$build/crashes

command -v clang++ >/dev/null || { echo "fuzz: clang++ is missing (scripts/install-deps.sh installs it)" >&2; exit 2; }
mkdir -p "$build/cmake" "$corpus" "$crashes"
cmake -S "$root/tests/fuzz" -B "$build/cmake" -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build/cmake.log" 2>&1 \
    || { cat "$build/cmake.log" >&2; echo "fuzz: configuring failed" >&2; exit 2; }
cmake --build "$build/cmake" -j2 >"$build/build.log" 2>&1 \
    || { tail -40 "$build/build.log" >&2; echo "fuzz: building failed" >&2; exit 2; }

# Qt's libraries are not instrumented: their allocations are not leaks of
# ours, and the offscreen platform keeps a few for the process's life.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
log=$build/fuzz.log
started=$build/started
touch "$started"
status=0
"$build/cmake/fuzz_swf" -runs="$runs" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=2048 -artifact_prefix="$crashes/" -print_final_stats=1 "$@" \
    "$corpus" "$root/tests/data/native/fuzz-seeds" >"$log" 2>&1 || status=$?
grep -E "ERROR|SUMMARY|Test unit written" "$log" | sort | uniq -c || true
# The count: the final statistics of a plain run, the last progress line of
# a forked one.
executions=$(grep -Eo '^stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' | tail -1 || true)
[ -n "$executions" ] || executions=$(grep -Eo '^#[0-9]+' "$log" | tr -d '#' | tail -1 || true)
found=$(find "$crashes" -type f -newer "$started" | wc -l)
if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    grep -E -A12 "ERROR: (Address|Undefined|libFuzzer)|runtime error" "$log" | head -80 >&2
    echo "fuzz: FAILED after ${executions:-0} executions (exit $status, $found new findings);" \
         "reproducers in $crashes, the run's log in $log" >&2
    exit 1
fi
echo "fuzz: passed, ${executions:-0} executions"
