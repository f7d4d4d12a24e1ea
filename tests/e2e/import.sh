#!/usr/bin/env bash
# A Guitar Pro 5 song of three tracks (a guitar, drums, a bass) imported in the window with
# File > Import...: the bass is offered already chosen, its notes land in the tab, the tab
# exported as MIDI plays them (read back by mido), and Undo brings back the tab before.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
app=$(readlink -f "$1")
here=$(dirname "$(readlink -f "$0")")

# The bass line, by hand: E string frets 3 and 5, A string 2 and 3, a half on D 2, a half
# on the open G. The guitar and drums have notes of their own that must not come across.
/usr/bin/python3 - "$here/../files" "$e2e_dir/band.gp5" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import write_gp as gp
song = dict(
    tracks=[dict(name='Guitar', tuning=gp.GUITAR, program=29),
            dict(name='Drums', tuning=gp.DRUMS, percussion=True, program=0),
            dict(name='Bass', tuning=gp.BASS4, program=33)],
    bars=[{}, {}],
    beats=[[[[gp.q(1, 12, -2)]], [[gp.q(2, 10, -2)]]],
           [[[gp.q(5, 36, 0)] * 4], [[gp.q(3, 38, 0)] * 4]],
           [[[gp.q(4, 3), gp.q(4, 5), gp.q(3, 2), gp.q(3, 3)]],
            [[gp.q(2, 2, -1), gp.q(1, 0, -1)]]]])
with open(sys.argv[2], 'wb') as f:
    f.write(gp.write_song(song, 510, gp.VERSIONS['gp510'][1]))
PY

start_with_a_note "$app"

# Each step's window is called "Import": the file dialog, the question, the track list.
# Each is answered once it is there and a new one is waited for by its id.
answer_import() {
    next_window '^Import$' "$@"
}
focus_window '^Quorlin v1\.0$'
xdotool key ctrl+i
dialog=$(answer_import none "Import command")
xdotool key ctrl+a
xdotool type --delay 5 "$e2e_dir/band.gp5"
xdotool key Return
# The tab typed first is about to be replaced: the question, answered Yes.
question=$(answer_import "$dialog" "file dialog")
xdotool key Return
tracks=$(answer_import "$question" "question")
# The bass is chosen already: accepting imports it.
xdotool key Return
wait_gone '^Import$'

after=$(tab_text "$win" | tr -d '\r')
rows=$(grep -A5 '^|' <<<"$after" | tr '\n' '/')
want='|   q  q  q  q  h  h/G -----------------0/D --------------2---/A --------2--3------/E --3--5------------/>                   /'
[ "$rows" = "$want" ] || fail "the imported tab is
$after"

focus_window '^Quorlin v1\.0$'
xdotool key ctrl+e
answer_file_dialog "Export MIDI" "$e2e_dir/band-bass"
wait_file "$e2e_dir/band-bass.mid" || fail "the MIDI file was not written"
notes=$(/usr/bin/python3 "$here/../files/read_midi.py" "$e2e_dir/band-bass.mid" |
    awk '$2 == "note_on" && $5 > 0 { printf "%s ", $4 }')
[ "$notes" = "31 33 35 36 40 43 " ] || fail "the MIDI file plays $notes"

focus_window '^Quorlin v1\.0$'
xdotool key ctrl+z
sleep 0.3
[ "$(tab_text "$win")" = "$before" ] || fail "Undo left
$(tab_text "$win")"
echo "PASS: import"
