#!/usr/bin/env bash
# Edits in the middle of a narrow tab, by keys on the neck alone: a note replaced, one
# inserted, one deleted, a selection over a block boundary copied and pasted across another,
# a transposition that moves a note to another string, undone and redone, a duration changed
# at the restored cursor, and a note appended at the end. The saved file holds the result.
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
# From the end, three columns back: E0e, replaced by A24 q.
press alt+Left alt+Left alt+Left
press Up 2 4 Return
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
# start. The cursor stays on A7e; A7e, D2 and A24 after it are selected and go a semitone up:
# A24 has no fret 25, and D20 is nearer its fret than G15.
press alt+Home alt+Right alt+Right
press ctrl+v
press shift+alt+Right shift+alt+Right
press ctrl+Up
press ctrl+z
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
[ "$got" = "$(lines "${block1[@]}" "${pasted[@]}")" ] || fail "after the undone transposition:"$'\n'"$got"
# The neck takes the keys again, the tab cursor where the undo put it.
press Escape

# The redo puts the cursor back on the moved note, which becomes a half; the palette keeps
# the half for the note appended after E5.
press ctrl+shift+z
press h
press alt+End Return
block2=(
    '|   q  e  q  h '
    'G -------------'
    'D --------3-20-'
    'A -----8-------'
    'E --5----------'
    '>              '
)
block3=(
    '|   q  h'
    'G ------'
    'D -----2'
    'A ------'
    'E --5---'
    '>       '
)
press ctrl+s
answer_file_dialog "Save Tab" "$e2e_dir/edited"
wait_file "$e2e_dir/edited.tab" || fail "the tab was not saved"
printf '%s\r\n' '' "${block1[@]}" '' "${block2[@]}" '' "${block3[@]}" '' >"$e2e_dir/expected"
# The tab follows the header, which ends with its second rule line.
awk '/^====================\r$/ { rules++; next } rules >= 2' "$e2e_dir/edited.tab" >"$e2e_dir/got"
head -n1 "$e2e_dir/edited.tab" | grep -q '^FTH14:G D A E ' || fail "the file's width or tuning"
cmp "$e2e_dir/expected" "$e2e_dir/got" >&2 || fail "the saved tab:"$'\n'"$(cat "$e2e_dir/got")"
echo "e2e edit: passed in ${SECONDS}s"
