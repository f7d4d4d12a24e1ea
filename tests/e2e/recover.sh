#!/usr/bin/env bash
# Work survives a crash: notes typed, the program killed with SIGKILL, started again and the
# recovery copy restored, with the tab and where the next note goes as they were. A folder
# that refuses the copy gets one message, and editing goes on. Copies a faulty writer left
# are the unit tests' (RecoveryFile, RestoreChecked), stale locks the folder's (locksAtStart).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
app=$(readlink -f "$1")

type_keys() {
    for keys in "$@"; do
        xdotool key $keys
        sleep 0.15
    done
}

start_app "$app"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'
# A quarter at fret 5 and a hammered eighth at fret 7 on the A string, and a slid half.
type_keys "Down Down 5 Return" "e shift+h 7 Return" "h shift+s 1 0 Return"
before=$(tab_text "$win")
[[ $before == *"5H-7\\10"* ]] || fail "the notes were not written: $before"
sleep 2.5 # the copy is at most two seconds behind
ls "$e2e_dir/data/AmbrelApps/Quorlin/recovery/"*.qrec >/dev/null 2>&1 || fail "no recovery copy"
kill -KILL "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=

start_app "$app"
wait_window '^Recover unsaved work$' >/dev/null
# The keyboard given to the window the question blocks comes back to the question.
focus_window '^Quorlin v1\.0$'
wait_focus '^Recover unsaved work$'
xdotool key Return # Restore, the default
wait_gone '^Recover unsaved work$'
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'
after=$(tab_text "$win")
[ "$after" = "$before" ] || fail "restored as:"$'\n'"$after"$'\n'"instead of:"$'\n'"$before"
# The state came back too: a slide on the same string is judged against fret 10 (down).
xdotool key Escape
type_keys "q shift+s Down Down 8 Return"
[[ $(tab_text "$win") == *"\\10/-8"* ]] || fail "the next slide was not judged from fret 10"

# A clean exit that gives the work up leaves no copy to offer.
xdotool key Escape ctrl+q
wait_window '^Quorlin v1\.0$' >/dev/null
focus_window 'Quorlin v1\.0'
xdotool key alt+n # "No" to "Save changes to the tab?"
wait_exit
[ -z "$(ls "$e2e_dir/data/AmbrelApps/Quorlin/recovery/" | grep -v '\.lock$')" ] ||
    fail "a clean exit left $(ls "$e2e_dir/data/AmbrelApps/Quorlin/recovery/")"

# A data folder that can never be made: one message, then the notes go on.
: >"$e2e_dir/not-a-folder"
E2E_DATA_HOME="$e2e_dir/not-a-folder/data" start_app "$app"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'
type_keys "Down 3 Return"
wait_window '^Recover unsaved work$' 10 >/dev/null
focus_window '^Recover unsaved work$'
wait_focus '^Recover unsaved work$'
xdotool key Return
wait_gone '^Recover unsaved work$'
focus_window '^Quorlin v1\.0$'
type_keys "5 Return" "7 Return"
sleep 3
[ -z "$(xdotool search --onlyvisible --name '^Recover unsaved work$' 2>/dev/null)" ] ||
    fail "a second message about the recovery copy"
[[ $(tab_text "$win") == *"--3--5--7"* ]] || fail "editing did not go on: $(tab_text "$win")"
echo "PASS: recover"
