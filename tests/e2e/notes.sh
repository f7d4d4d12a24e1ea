#!/usr/bin/env bash
# Real drags from the palette onto the neck write their columns; a slide to another string
# is refused with its box.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')

drag "$win" "${BUTTON_Q[@]}" $(neck_cell 5 3)
click_at "$win" "${RADIO_H[@]}"
click_at "$win" "${CHECK_DOT[@]}"
drag "$win" "${BUTTON_E[@]}" $(neck_cell 0 1)

expected=$'|   q e.\nG ---H-0\nD ------\nA --5---\nE ------\n>       \n'
got=$(tab_text "$win")$'\n'
[ "$got" = "$expected" ] || fail "tab after two drops:"$'\n'"$got"

click_at "$win" "${RADIO_S[@]}"
drag "$win" "${BUTTON_S[@]}" $(neck_cell 7 2)
box=$(wait_window "^You're too strong$")
xdotool key Return
wait_gone "^You're too strong$"
got=$(tab_text "$win")$'\n'
[ "$got" = "$expected" ] || fail "the refused slide changed the tab:"$'\n'"$got"
echo "e2e notes: passed"
