#!/usr/bin/env bash
# A bass line rendered by FluidSynth from a MIDI file written here, transcribed in the window
# with File > Transcribe recording... (Alt+F, E): the unsaved tab typed first is asked about,
# the heard tab exported as MIDI plays the pitches the line was written with (read back by
# mido), and Undo brings back the tab before.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
app=$(readlink -f "$1")
here=$(dirname "$(readlink -f "$0")")

line="33 36 38 40 43 40 38 36"
/usr/bin/python3 "$here/../app/render_line.py" "$e2e_dir/line.wav" 90 $line

start_with_a_note "$app"

# The dialog and the question share the caption.
focus_window '^Quorlin v1\.0$'
xdotool key alt+f
sleep 0.3
xdotool key e
dialog=$(next_window '^Transcribe recording$' none "menu item")
xdotool type --delay 5 "$e2e_dir/line.wav"
xdotool key Return
next_window '^Transcribe recording$' "$dialog" "dialog" >/dev/null
xdotool key Return

# Listening takes a moment; the doubtful notes, if any, are listed in a box of their own.
after=
for _ in $(seq 1 120); do
    if timeout 5 xdotool search --onlyvisible --name '^Doubtful notes$' >/dev/null 2>&1; then
        focus_window '^Doubtful notes$'
        xdotool key Return
        wait_gone '^Doubtful notes$'
    fi
    if ! timeout 5 xdotool search --onlyvisible --name '^Transcribe recording$' >/dev/null 2>&1; then
        after=$(tab_text "$win")
        [ -n "$after" ] && [ "$after" != "$before" ] && break
    fi
    sleep 0.5
done
[ -n "$after" ] && [ "$after" != "$before" ] || fail "no tab was transcribed: $(cat "$e2e_dir/app.log")"

focus_window '^Quorlin v1\.0$'
xdotool key ctrl+e
answer_file_dialog "Export MIDI" "$e2e_dir/heard"
wait_file "$e2e_dir/heard.mid" || fail "the MIDI file was not written"
notes=$(/usr/bin/python3 "$here/../files/read_midi.py" "$e2e_dir/heard.mid" |
    awk '$2 == "note_on" && $5 > 0 { printf "%s ", $4 }')
[ "$notes" = "$line " ] || fail "the transcribed tab plays $notes
$after"

focus_window '^Quorlin v1\.0$'
xdotool key ctrl+z
sleep 0.3
[ "$(tab_text "$win")" = "$before" ] || fail "Undo left
$(tab_text "$win")"
echo "PASS: transcribe"
