#!/usr/bin/env bash
# Edits in the middle of a narrow tab, by keys on the neck alone: a note replaced, one
# inserted, one deleted, a selection over a block boundary copied through the X clipboard
# and pasted across another. Every other edit at the cursor, and its undo and redo, is the
# widget test's (EditAtCursorTest), which needs no real window.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

shots=${QUORLIN_SHOTS:-$PWD}
mkdir -p "$shots"

# One call per step: the digits of "2 4" must reach the neck well within its 1 s window.
press() {
    xdotool key "$@"
    sleep 0.15
}

lines() {
    local IFS=$'\n'
    printf '%s' "$*"
}

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'

# Width 14: four columns fill a block (2 + 4 x 3), which is filled out to 15.
click_at "$win" "${WIDTH_FIELD[@]}"
xdotool key ctrl+a
xdotool type --delay 5 "14"
press Escape

# A3 A5 | A7e E0e | E3 E5 as typed, four to a block.
press Down Down 3 Return
press 5 Return
press e 7 Return
press Down 0 Return
press q 3 Return
press 5 Return
# From the end, three columns back: E0e, made a quarter by its key, then its fret and string
# replaced by A24; the column keeps its value.
press alt+Left alt+Left alt+Left
press q Up 2 4 Return
# D2 goes in before it; the cursor stays on A24, then moves on to E3, which goes.
press Up 2 Insert
press alt+Right Delete
# Now A3 A5 A7e D2 | A24 E5, the cursor on E5. Select D2 A24 E5, over the block boundary.
press shift+alt+Left shift+alt+Left
printf 'nothing copied' | xclip -selection clipboard >/dev/null 2>&1
press ctrl+c
clip=(
    '|   q  q  q'
    'G ---------'
    'D --2------'
    'A ----24---'
    'E --------5'
    '>          '
)
[ "$(timeout 5 xclip -o -selection clipboard)" = "$(lines "${clip[@]}")" ] ||
    fail "the copied columns read:"$'\n'"$(timeout 5 xclip -o -selection clipboard)"
timeout 5 xclip -o -selection clipboard -t TARGETS | grep -qx 'application/x-quorlin-columns' ||
    fail "the copy holds no columns of our own type"
import -window root "$shots/edit-selection.png"

# Pasted before A7e, the third column: the run spans the first block's end and the second's
# start.
press alt+Home alt+Right alt+Right
press ctrl+v
block1=(
    '|   q  q  q  q '
    'G -------------'
    'D --------2----'
    'A --3--5----24-'
    'E -------------'
    '>              '
)
pasted=(
    '|   q  e  q  q '
    'G -------------'
    'D --------2----'
    'A -----7----24-'
    'E --5----------'
    '>              '
    '|   q'
    'G ---'
    'D ---'
    'A ---'
    'E --5'
    '>    '
)
got=$(tab_text "$win")
[ "$got" = "$(lines "${block1[@]}" "${pasted[@]}")" ] || fail "after the paste:"$'\n'"$got"

# Edit > Go to bar...: bar 1 of 4/4 is the four quarters of the first block; the tab cursor
# goes to its first column, A3, which Del takes out.
press ctrl+g
wait_window '^Go to bar$' 5 >/dev/null
xdotool key ctrl+a
xdotool type --delay 5 "1"
import -window root "$shots/edit-go-to-bar.png"
press Return
wait_gone '^Go to bar$'
press Delete
deleted=(
    '|   q  q  q  q '
    'G -------------'
    'D -----2-------'
    'A --5----24----'
    'E -----------5-'
    '>              '
    '|   e  q  q  q'
    'G ------------'
    'D -----2------'
    'A --7----24---'
    'E -----------5'
    '>             '
)
got=$(tab_text "$win")
[ "$got" = "$(lines "${deleted[@]}")" ] || fail "after bar 1's first column went:"$'\n'"$got"
echo "e2e edit: passed in ${SECONDS}s"
