#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of it (.clang-format at
# the root); lists the differences. `clang-format -i FILE` mends a file.
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # Tracked files and new ones not yet added, never what .gitignore leaves out (build folders).
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' |
        while read -r f; do [ -f "$f" ] && echo "$f"; done)
else
    mapfile -t files < <(find . -path './build*' -prune -o -type f \( -name '*.h' -o -name '*.cpp' \) -print)
fi
[ ${#files[@]} -gt 0 ] || exit 0

if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "check-format.sh: the files above differ from clang-format's layout" >&2
    exit 1
fi
