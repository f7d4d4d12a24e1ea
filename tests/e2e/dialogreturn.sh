#!/usr/bin/env bash
# A whole path typed into the Load or Save dialog and one Return opens or saves it, even
# when the completion list has popped up by then, showing the typed file or another that
# begins with its name. An entry reached with the arrow keys is still the one taken.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# Whether the completion list shows: a pop-up named only after the program (which
# xdotool's search does not find).
list_shown() {
    local id
    for id in $(xwininfo -root -children | awk '/"Quorlin": \("quorlin"/ {print $1}'); do
        xwininfo -id "$id" | grep -q 'IsViewable' && return 0
    done
    return 1
}

# Types `path` into the open dialog `title` and waits for the completion list to show.
type_until_listed() {
    local title=$1 path=$2
    wait_window "^$title\$" >/dev/null
    sleep 0.3
    xdotool key ctrl+a
    xdotool type --delay 20 "$path"
    for _ in $(seq 1 100); do
        list_shown && return 0
        sleep 0.05
    done
    fail "no completion list for $path"
}

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'

# A tab saved to a name that begins another file's: the list shows that file, none chosen,
# and the name gets its ".tab".
printf 'old\n' >"$e2e_dir/riff2.tab"
xdotool key Down Down 5 Return
sleep 0.3
saved=$(tab_text "$win")
xdotool key Escape
xdotool key ctrl+s
type_until_listed 'Save Tab' "$e2e_dir/riff"
xdotool key Return
wait_gone '^Save Tab$'
wait_file "$e2e_dir/riff.tab" || fail "Return did not save riff.tab"
[ "$(cat "$e2e_dir/riff2.tab")" = old ] || fail "the other file was touched"

# Loaded by its whole path while the list shows it.
focus_window '^Quorlin v1\.0$'
xdotool key ctrl+o
confirm_clear
type_until_listed 'Load Tab' "$e2e_dir/riff.tab"
xdotool key Return
wait_gone '^Load Tab$'
focus_window '^Quorlin v1\.0$'
got=$(tab_text "$win")
[ "$got" = "$saved" ] || fail "the loaded tab:"$'\n'"$got"$'\n'"instead of:"$'\n'"$saved"
xdotool key Escape

# An entry reached with Down is the one taken: riff.tab comes before riff2.tab, and the
# typed "riff" names no file.
focus_window '^Quorlin v1\.0$'
xdotool key ctrl+o
confirm_clear
type_until_listed 'Load Tab' "$e2e_dir/riff"
xdotool key Down Return
wait_gone '^Load Tab$'
focus_window '^Quorlin v1\.0$'
got=$(tab_text "$win")
[ "$got" = "$saved" ] || fail "the tab chosen with Down:"$'\n'"$got"$'\n'"instead of:"$'\n'"$saved"
echo "e2e dialog return: passed"
