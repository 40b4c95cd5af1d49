#!/usr/bin/env bash
# The API documentation's gate: the build's own Doxygen configuration, given the public header
# with one more public member and no comment on it, must fail and name that member.
#   api_docs_gate.sh DOXYFILE HEADER
set -euo pipefail
doxyfile=$1 header=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

awk '{print} /^  public:/ && !done {print "    void undocumentedMember();"; done = 1}' "$header" \
    >"$work/XPProgressBar.h"
grep -q undocumentedMember "$work/XPProgressBar.h" || fail "no public section in $header"
{
    cat "$doxyfile"
    echo "INPUT = $work/XPProgressBar.h"
    echo "USE_MDFILE_AS_MAINPAGE ="
    echo "OUTPUT_DIRECTORY = $work/out"
} >"$work/Doxyfile"
if doxygen "$work/Doxyfile" >"$work/log" 2>&1; then
    cat "$work/log"
    fail "doxygen accepted an undocumented public member"
fi
grep -q 'undocumentedMember.*not documented' "$work/log" || { cat "$work/log"; fail "doxygen failed for another reason"; }
echo "api docs gate: ok"
