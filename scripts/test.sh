#!/usr/bin/env bash
# Runs every test: installs what is missing, checks the layout of the C++ files, builds with
# warnings as errors, and runs CTest with a private X server for the window tests.
#
# With CI=true (CI sets it) it goes on with the suite under the sanitizers (scripts/sanitize.sh)
# and the fuzzing stage (scripts/fuzz.sh). The wall time of each stage is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=()
report() {
    echo
    echo "Stage times (wall):"
    for line in "${stages[@]}"; do echo "  $line"; done
}
stage() {
    local name=$1 start rc=0
    shift
    echo "==> $name"
    start=$(date +%s)
    "$@" || rc=$?
    local took=$(($(date +%s) - start))
    stages+=("$(printf '%-11s %3d min %02d s%s' "$name" $((took / 60)) $((took % 60)) \
        "$([ $rc -eq 0 ] || echo "   FAILED (exit status $rc)")")")
    if [ $rc -ne 0 ]; then
        report
        exit $rc
    fi
}

stage setup scripts/setup.sh
stage format scripts/check-format.sh
stage build scripts/build.sh build -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
stage tests scripts/run-ctest.sh build
if [ "${CI:-}" = true ]; then
    stage sanitizers scripts/sanitize.sh
    stage fuzzing scripts/fuzz.sh
fi
report
