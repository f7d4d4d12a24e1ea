#!/usr/bin/env bash
# Quorlin started from a terminal or a file manager: --help, --version and a wrong option
# need no display; a tab named on the command line opens at once, and one that is not there
# is said so in a box over an empty tab.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
app=$(readlink -f "$1")

out=$(env -u DISPLAY "$app" --help) || fail "--help ended with $?"
[[ $out == "usage: quorlin "* ]] || fail "--help printed: $out"
[ "$(env -u DISPLAY "$app" --version)" = "quorlin 1.0.0" ] || fail "--version"
status=0
err=$(env -u DISPLAY "$app" --bogus 2>&1 >/dev/null) || status=$?
[ "$status" = 2 ] || fail "--bogus ended with $status"
[ "$(printf '%s\n' "$err" | wc -l)" = 1 ] && [[ $err == "quorlin: unknown option --bogus; usage: "* ]] ||
    fail "--bogus said: $err"

printf 'FTH80:G D A E ;\r\n====================\r\nFrom            : \r\nArtist          : \r\n' >"$e2e_dir/song.tab"
printf 'Bass Performance: \r\nComments:       : \r\n---\r\n====================\r\n\r\n' >>"$e2e_dir/song.tab"
printf '|   q\r\nG ---\r\nD --5\r\nA ---\r\nE ---\r\n>    \r\n\r\n' >>"$e2e_dir/song.tab"
start_app "$app" "$e2e_dir/song.tab"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'
got=$(tab_text "$win")
[ "$got" = $'|   q\nG ---\nD --5\nA ---\nE ---\n>    ' ] || fail "the tab opened as: $got"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=

start_app "$app" "$e2e_dir/gone.tab"
refused_at_start 20 "a tab that is not there"
echo "PASS: open"
