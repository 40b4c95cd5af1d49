#!/usr/bin/env bash
# The test suite built with AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer
# into build-asan/ and run like scripts/test.sh runs it; the executables the tests start are
# the sanitized ones. Any report, from a test or from a program it starts, fails the run.
#
# Leaks inside libraries whose stack holds no frame of ours are listed, each with its reason,
# in tests/support/lsan-suppressions.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh

# Reports go to files as well as failing the process, so that a report from a child process
# whose exit status a test does not look at still fails the run.
logs=$root/build-asan/sanitizer-reports
rm -rf "$logs"
mkdir -p "$logs"
# The full unwinder on every allocation: the system libraries are built without frame pointers,
# and with the fast one a leak's stack stops at the first library frame, hiding our callers.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:check_initialization_order=1:strict_init_order=1:fast_unwind_on_malloc=0:log_path=$logs/asan"
export LSAN_OPTIONS="suppressions=$root/tests/support/lsan-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$logs/ubsan"

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
# With ASan's instrumentation GCC's flow-based bounds warnings report paths that cannot run
# (an empty QByteArray's shared byte read at an offset its size check rules out); the ordinary
# build keeps them as errors.
flags+=" -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread"
# -O1, as the sanitizers' authors advise: reports keep their line numbers and the cold build takes
# less of CI's time than at -O2.
scripts/build.sh build-asan -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
# The package test builds the example against the installed, sanitized library: it needs the
# same runtime.
export CXXFLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" LDFLAGS="-fsanitize=address,undefined"
rc=0
scripts/run-ctest.sh build-asan || rc=$?

reports=("$logs"/*)
if [ -e "${reports[0]}" ]; then
    for report in "${reports[@]}"; do
        echo "==== $report"
        cat "$report"
    done
    echo "sanitize.sh: ${#reports[@]} sanitizer report(s), above" >&2
    [ $rc -ne 0 ] || rc=1
fi
exit $rc
