#!/usr/bin/env bash
# Configures and builds (executables in BUILD_DIR/bin/).
#
#   scripts/build.sh [BUILD_DIR] [-DNAME=VALUE ...] [--target NAME ...]
#
# BUILD_DIR defaults to build/. -D options go to CMake's configure step (they stay in the
# folder's cache); --target limits the build to the named targets.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then dir=$1; shift; fi
defines=()
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
    -D*) defines+=("$1") ;;
    --target) [ $# -ge 2 ] || { echo "build.sh: --target needs a name" >&2; exit 2; }
        targets+=(--target "$2"); shift ;;
    *) echo "usage: scripts/build.sh [BUILD_DIR] [-DNAME=VALUE ...] [--target NAME ...]" >&2
        exit 2 ;;
    esac
    shift
done

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${defines[@]}" >/dev/null
cmake --build "$dir" -j2 "${targets[@]}"
