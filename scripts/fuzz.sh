#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs each for a fixed
# time from its seed corpus fuzz/corpus/NAME/.
#
#   scripts/fuzz.sh [SECONDS] [NAME ...]     SECONDS per target (default 45); all targets or the named
#
# Inputs that reach new code are kept in build-fuzz/corpus/NAME/, never in the repository. A
# crash or a broken check fails the run and leaves its input in build-fuzz/crashes/; once the
# fault is mended, copy that file into fuzz/corpus/NAME/, where every build replays it as a test.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-45}
[ $# -gt 0 ] && shift
case "$seconds" in '' | *[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS] [NAME ...]" >&2; exit 2 ;; esac
if [ $# -gt 0 ]; then
    names=("$@")
else
    mapfile -t names < <(sed -n 's/^vex_add_fuzz_target(\([A-Za-z0-9_]*\).*/\1/p' fuzz/CMakeLists.txt)
fi
scripts/setup.sh

targets=()
for name in "${names[@]}"; do
    [ -d "fuzz/corpus/$name" ] || { echo "fuzz.sh: no corpus folder fuzz/corpus/$name" >&2; exit 2; }
    targets+=(--target "fuzz_$name")
done
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DVEXBRINDLE_FUZZ=ON \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "${targets[@]}"

export LSAN_OPTIONS="suppressions=$root/tests/support/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
mkdir -p build-fuzz/crashes build-fuzz/logs
failed=()
for name in "${names[@]}"; do
    mkdir -p "build-fuzz/corpus/$name"
    log=build-fuzz/logs/$name.log
    rc=0
    "build-fuzz/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$name-" \
        "build-fuzz/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1 || rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if [ $rc -eq 0 ]; then
        echo "fuzz $name: ${seconds} s, ${runs:-?} inputs, no fault"
    else
        echo "fuzz $name: FAILED (exit status $rc); the end of $log:"
        tail -n 60 "$log"
        failed+=("$name")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: faults found by ${failed[*]}; inputs in build-fuzz/crashes/" >&2
    exit 1
fi
