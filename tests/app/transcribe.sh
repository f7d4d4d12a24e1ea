#!/bin/sh
# The command-line transcription as a user meets it: a bass line rendered by FluidSynth from a
# MIDI file written here comes back as a tab that plays the same pitches (read back through the
# MIDI export), a part of it only the notes of that part; a silent recording and a file that is
# no sound say why, in one line of their own, and write nothing; strings and tuning that disagree are a wrong line.
set -u
app=$1
here=$(dirname "$0")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
run() {
    env -u DISPLAY "$app" "$@" 2>"$dir/err"
}
# The pitches the tab plays, in order, through the MIDI export.
pitches() {
    run --export-midi "$1" "$dir/back.mid" || fail "the tab $1 does not export: $(cat "$dir/err")"
    /usr/bin/python3 "$here/../files/read_midi.py" "$dir/back.mid" |
        awk '$2 == "note_on" && $5 > 0 { printf "%s ", $4 }'
}

line="33 36 38 40 43 40 38 36"
/usr/bin/python3 "$here/render_line.py" "$dir/line.wav" 90 $line || fail "no rendering"

run --transcribe "$dir/line.wav" "$dir/line.tab" --tempo 90 ||
    fail "the rendered line was not transcribed: $(cat "$dir/err")"
grep -q "^quorlin: 8 notes" "$dir/err" || fail "the summary says: $(cat "$dir/err")"
grep -q "^Tempo: 90" "$dir/line.tab" || fail "the tab's tempo is not the one given"
[ "$(pitches "$dir/line.tab")" = "$line " ] || fail "the tab plays $(pitches "$dir/line.tab")"

# The second bar alone (a beat is 2/3 s), its tempo found, on five strings.
run --transcribe "$dir/line.wav" "$dir/part.tab" --start 2.6 --end 5.3 --strings 5 ||
    fail "the part was not transcribed: $(cat "$dir/err")"
grep -q "^Strings: B ,E ,A ,D ,G" "$dir/part.tab" || fail "the part is not on five strings"
[ "$(pitches "$dir/part.tab")" = "43 40 38 36 " ] || fail "the part plays $(pitches "$dir/part.tab")"

sox -n -r 44100 -c 1 -b 16 "$dir/silent.wav" trim 0 2
run --transcribe "$dir/silent.wav" "$dir/silent.tab"
[ $? -eq 1 ] || fail "a silent recording did not exit with 1"
grep -qx "quorlin: $dir/silent.wav: no bass line found: the recording is silent" "$dir/err" ||
    fail "silent: $(cat "$dir/err")"
[ -e "$dir/silent.tab" ] && fail "a tab was written for a silent recording"

printf 'FTH80:G D A E ;\r\n' >"$dir/tab.wav"
run --transcribe "$dir/tab.wav" "$dir/tab.tab"
[ $? -eq 1 ] || fail "a tab named .wav did not exit with 1"
grep -q "^quorlin: $dir/tab.wav " "$dir/err" || fail "no sound: $(cat "$dir/err")"
[ -e "$dir/tab.tab" ] && fail "a tab was written for a file that is no sound"

# An MP3 cut off after its first frame: libmpg123's own note stays off stderr, ours alone is
# there.
sox "$dir/line.wav" "$dir/line.mp3" && head -c 200 "$dir/line.mp3" >"$dir/cut.mp3"
run --transcribe "$dir/cut.mp3" "$dir/cut.tab"
[ $? -eq 1 ] || fail "a cut MP3 did not exit with 1"
[ "$(wc -l <"$dir/err")" -eq 1 ] && grep -q "^quorlin: $dir/cut.mp3 " "$dir/err" ||
    fail "cut MP3: $(cat "$dir/err")"

# Said before the listening, which would end in the same words.
run --transcribe "$dir/line.wav" "$dir/none/line.tab"
[ $? -eq 1 ] || fail "a tab into a missing folder did not exit with 1"
grep -qx "quorlin: cannot write $dir/none/line.tab: No such file or directory" "$dir/err" ||
    fail "missing folder: $(cat "$dir/err")"

run --transcribe "$dir/line.wav" "$dir/wrong.tab" --strings 5 --tuning "E A D G"
[ $? -eq 2 ] || fail "strings and tuning that disagree did not exit with 2"
[ -e "$dir/wrong.tab" ] && fail "a tab was written for a wrong line"
echo "PASS: transcribe"
