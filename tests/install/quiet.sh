#!/usr/bin/env bash
# Runs a checker and fails on its exit status, on anything it writes to stderr, and on any
# line of stdout that ALLOWED (an extended regex) does not cover: a checker's warning counts
# as a failure here.
# Usage: quiet.sh ALLOWED COMMAND [ARGS...]
set -uo pipefail
allowed=$1
shift
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$@" >"$out" 2>"$err"
status=$?
if [ $status -ne 0 ] || [ -s "$err" ] || grep -Evq -e "$allowed" "$out"; then
    grep -Ev -e "$allowed" "$out"
    cat "$err"
    echo "quiet.sh: $1 exited with $status, or said more than it should"
    exit 1
fi
