#!/usr/bin/env bash
# Five strings kept with "Strings:" and "Exit" come back at the next start.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')
click_at "$win" "${STRINGS_UP[@]}"
click_at "$win" "${CHECK_STRINGS[@]}"
click_at "$win" "${BUTTON_EXIT[@]}"
wait_exit

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')
# A note on the fifth string shows the strings the new block was built for.
drag "$win" "${BUTTON_Q[@]}" $(neck_cell 3 5)
expected=$'|   q\nG ---\nD ---\nA ---\nE ---\nB --3\n>    \n'
got=$(tab_text "$win")$'\n'
[ "$got" = "$expected" ] || fail "the five strings did not come back:"$'\n'"$got"

# The box came back checked: leaving again, with the store emptied, writes the wish anew.
# The tab holds a note, so Exit asks about it first; No leaves it unsaved.
conf="$e2e_dir/config/AmbrelApps/Quorlin.conf"
rm "$conf"
click_at "$win" "${BUTTON_EXIT[@]}"
focus_window '^Quorlin v1\.0$'
xdotool key alt+n
wait_exit
grep -q 'SaveTunning=@ByteArray(\\x1)' "$conf" || fail "the wish to keep the tuning was lost"
echo "e2e settings: passed"
