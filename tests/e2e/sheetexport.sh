#!/usr/bin/env bash
# The printed pages from the window: notes typed, File > Page setup... given a title and
# Letter paper with the keyboard, then File > Export PDF... written where the file dialog
# says; the PDF holds one Letter page titled as set up.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'
for keys in "Down Down 5 Return" "7 Return" "e Up 5 Return" "7 Return"; do
    xdotool key $keys
    sleep 0.2
done

xdotool key alt+f
sleep 0.3
xdotool key u
focus_window '^Page setup$'
xdotool type --delay 5 "Night Walk"
# The paper: the second of A4 and Letter, whichever the locale chose first.
xdotool key Tab End Return
wait_gone '^Page setup$'

focus_window '^Quorlin v1\.0$'
xdotool key ctrl+alt+p
answer_file_dialog "Export PDF" "$e2e_dir/walk"
wait_file "$e2e_dir/walk.pdf" || fail "the PDF was not written"
# Written whole, in one go: the page objects, each with its paper, and the XMP title.
sleep 0.5
pdf=$e2e_dir/walk.pdf
head -c 5 "$pdf" | grep -q '^%PDF-' || fail "walk.pdf is no PDF"
pages=$(grep -ac '^/Type /Page$' "$pdf") || true
[ "$pages" = 1 ] || fail "the PDF has $pages pages, not 1"
boxes=$(grep -a '^/MediaBox' "$pdf" | sort -u)
[ "$boxes" = "/MediaBox [0 0 612.000000 792.000000]" ] || fail "the page is not Letter: $boxes"
grep -aq "<rdf:li xml:lang='x-default'>Night Walk</rdf:li>" "$pdf" || fail "the PDF is not titled Night Walk"
[ "$(ls "$e2e_dir" | grep -c 'walk')" = 1 ] || fail "more than the PDF was left: $(ls "$e2e_dir")"
echo "e2e sheet export: passed"
