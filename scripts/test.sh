#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, starts a private X server for the window
# tests, and runs CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

# A private Xvfb so that the window tests see a real X server whatever the caller has.
display=
for n in $(seq 90 120); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=$n; break; fi
done
Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
export VEXBRINDLE_TEST_DISPLAY=:$display

cd build
ctest --output-on-failure -j2 --timeout 300
