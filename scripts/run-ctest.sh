#!/usr/bin/env bash
# Runs the CTest suite of a build folder with a private Xvfb for the window tests.
#
#   scripts/run-ctest.sh BUILD_DIR [CTEST_OPTION ...]
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: scripts/run-ctest.sh BUILD_DIR [CTEST_OPTION ...]" >&2; exit 2; }
dir=$1
shift

# A private Xvfb so that the window tests see a real X server whatever the caller has. Xvfb
# picks a free display itself and writes its number once it accepts clients.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true; rm -f "$display_file"' EXIT
for _ in $(seq 100); do
    grep -q . "$display_file" && break
    kill -0 $xvfb_pid 2>/dev/null || break
    sleep 0.1
done
display=$(head -n1 "$display_file")
[ -n "$display" ] || { echo "run-ctest.sh: Xvfb did not start" >&2; exit 1; }
export VEXBRINDLE_TEST_DISPLAY=:$display

cd "$dir"
ctest --output-on-failure -j2 --timeout 300 "$@"
