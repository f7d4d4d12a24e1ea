#!/usr/bin/env bash
# A tab typed on the neck alone: durations, a dot, the techniques, a two-digit fret, two
# refused chords and a refused slide, each box closed by Return and the keys going on to
# the neck. Undo and redo by keys are the widget test's (undoAndRedo), every step whole the
# history test's.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

shots=${QUORLIN_SHOTS:-$PWD}
mkdir -p "$shots"

# One call per step: the digits of "1 2" must reach the neck well within its 1 s window.
presses=0
press() {
    echo "keys: $*"
    xdotool key "$@"
    presses=$((presses + $#))
    sleep 0.1
}

# A refused note: its box comes up, Return closes it, the next keys belong to the neck.
refused() {
    wait_window "^$1\$" 5 >/dev/null
    press Return
    wait_gone "^$1\$"
}

expect_tab() {
    local got
    got=$(tab_text "$win")
    xdotool key Escape
    [ "$got" = "$2" ] || fail "$1:"$'\n'"$got"$'\n'"instead of:"$'\n'"$2"
}

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'

press Down Down 5 Return
press e period shift+h 7 Return
press period shift+s 1 2 Return
press shift+c Up Up Home Return
press 3 Return
refused 'Error !'
press q Down Return
refused 'Error !'
press shift+o Down Down Return
press s shift+s Up Up 2 Return
refused "You're too strong"
press Down Down 1 Return
press w shift+a 1 0 Return

full=$'|   q e.  e  q  s  w\nG --------0---------\nD ------------------'
full+=$'\nA --5H-7\\12---------\nE -----------3/-1-10\n>            .     +'
expect_tab "the typed tab" "$full"

# The tab plain, not selected by the last reading (a click too soon would be a double
# one), and the neck holding the keys.
sleep 0.6
click_at "$win" "${TAB_AREA[@]}"
xdotool key Escape
sleep 0.2
import -window root "$shots/keyboard-final.png"
echo "e2e keyboard: $presses key presses"
