#!/usr/bin/env bash
# A bass line copied from a web page, pasted as notes, retuned for five strings and saved,
# all from the keyboard in the real window; the same page imported from the command line
# gives a tab that plays the same notes at the same times.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
app=$(readlink -f "$1")

cat >"$e2e_dir/web.txt" <<'TAB'
Groove in E, as I play it (tabbed by ear)

   E5          A
G|-------------|
D|---------5---|
A|-----3-------|
E|-0-------3---|
TAB

# Every note's start and pitch, as a MIDI reader of someone else's making reads our export.
notes_of() {
    env -u DISPLAY "$app" --export-midi "$1" "$e2e_dir/notes.mid" >/dev/null 2>&1 ||
        fail "no MIDI export of $1"
    /usr/bin/python3 - "$e2e_dir/notes.mid" <<'PY'
import sys, mido
found = []
for track in mido.MidiFile(sys.argv[1]).tracks:
    tick = 0
    for m in track:
        tick += m.time
        if m.type == 'note_on' and m.velocity > 0:
            found.append((tick, m.note))
print(sorted(found))
PY
}

start_app "$app"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'
xclip -selection clipboard -i "$e2e_dir/web.txt" >/dev/null 2>&1
xdotool key ctrl+shift+v
# The closest spacing is worth a sixteenth: the first button.
focus_window '^Import ASCII tab$'
xdotool key Return
wait_gone '^Import ASCII tab$'
text=$(tab_text "$win")
grep -q '^E --0' <<<"$text" || fail "the pasted tab was not written: $text"

focus_window '^Quorlin v1\.0$'
xdotool key ctrl+t
focus_window '^Change tuning or strings$'
# The preset list has the focus: F picks "Five strings, low B".
xdotool key F
sleep 0.2
xdotool key Return
wait_gone '^Change tuning or strings$'
focus_window '^Quorlin v1\.0$'
xdotool key ctrl+s
answer_file_dialog "Save Tab" "$e2e_dir/five"
focus_window '^Quorlin v1\.0$'
xdotool key ctrl+q
wait_exit

tr -d '\r' <"$e2e_dir/five.tab" | grep -qx 'Strings: B ,E ,A ,D ,G ' || fail "the saved tab is not for five strings: $(cat "$e2e_dir/five.tab")"

env -u DISPLAY "$app" --import-tab "$e2e_dir/web.txt" "$e2e_dir/cli.tab" 2>"$e2e_dir/import.log" ||
    fail "the command-line import failed: $(cat "$e2e_dir/import.log")"
tr -d '\r' <"$e2e_dir/cli.tab" | grep -qx 'Strings: E ,A ,D ,G ' || fail "the imported tab is not for four strings"

expected="[(0, 28), (120, 36), (240, 31), (240, 43)]"
[ "$(notes_of "$e2e_dir/cli.tab")" = "$expected" ] ||
    fail "the imported tab plays $(notes_of "$e2e_dir/cli.tab")"
[ "$(notes_of "$e2e_dir/five.tab")" = "$expected" ] ||
    fail "the retuned tab plays $(notes_of "$e2e_dir/five.tab")"
echo "PASS"
