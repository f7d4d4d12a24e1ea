#!/usr/bin/env bash
# A triplet, "Rep", a rest and "<-" through real drags and clicks.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

expect_tab() {
    local got
    got=$(tab_text "$win")$'\n'
    [ "$got" = "$2" ] || fail "$1:"$'\n'"$got"
}

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')

click_at "$win" "${RADIO_TRIPLET[@]}"
drag "$win" "${BUTTON_E[@]}" $(neck_cell 7 2)
triplet=$'|   e  e  e\nG ---------\nD --7~~7~~7\nA ---------\nE ---------\n>          \n'
expect_tab "after the triplet" "$triplet"

click_at "$win" "${BUTTON_REP[@]}"
drag "$win" "${BUTTON_Q[@]}" "${PANEL_REST[@]}"
expect_tab "after Rep and a rest" $'|   e  e  e  e  e  e  q\nG ---------------------\nD --7~~7~~7--7~~7~~7---\nA ---------------------\nE ---------------------\n>                     r\n'

click_at "$win" "${BUTTON_BACK[@]}"
click_at "$win" "${BUTTON_BACK[@]}"
expect_tab "after two deletes" "$triplet"
echo "e2e columns: passed"
