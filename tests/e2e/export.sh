#!/usr/bin/env bash
# A tab typed and saved in the window, then exported from the command line without any
# display: MIDI read back by a MIDI reader of someone else's making, WAV looked at with sox,
# and every bad input refused with one line and no file left behind.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
app=$(readlink -f "$1")

start_app "$app"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'
# A on fret 5 (key 38), a dotted e on A fret 7 (40), a slapped whole on E fret 3 (31).
for keys in "Down Down 5 Return" "e period 7 Return" "period w shift+a Down 3 Return"; do
    xdotool key $keys
    sleep 0.2
done
xdotool key ctrl+s
answer_file_dialog "Save Tab" "$e2e_dir/song"
[ -f "$e2e_dir/song.tab" ] || fail "the tab was not saved"
focus_window '^Quorlin v1\.0$'
xdotool key ctrl+q
wait_exit

# The exports need no display: a window opened by mistake would fail here.
export_cli() { env -u DISPLAY "$app" "$@"; }

export_cli --export-midi "$e2e_dir/song.tab" "$e2e_dir/song.mid" || fail "MIDI export failed"
notes=$(/usr/bin/python3 - "$e2e_dir/song.mid" <<'PY'
import sys, mido
song = mido.MidiFile(sys.argv[1])
tempo = [m.tempo for m in song.tracks[0] if m.type == 'set_tempo']
print(song.ticks_per_beat, tempo, [(m.channel, m.note, m.velocity) for t in song.tracks for m in t
       if m.type == 'note_on' and m.velocity > 0])
PY
)
[ "$notes" = "480 [600000] [(0, 38, 100), (0, 40, 100), (1, 31, 110)]" ] ||
    fail "the MIDI file holds $notes"

# 1 + 0.75 + 4 beats at 100 and 200 beats per minute, then the ring of the last note.
for tempo in 100 200; do
    export_cli --export-wav "$e2e_dir/song.tab" "$e2e_dir/$tempo.wav" --tempo "$tempo" ||
        fail "WAV export at $tempo failed"
    [ "$(soxi -r "$e2e_dir/$tempo.wav") $(soxi -c "$e2e_dir/$tempo.wav") $(soxi -b "$e2e_dir/$tempo.wav")" = "44100 2 16" ] ||
        fail "the WAV file is not 44.1 kHz 16-bit stereo"
    seconds=$(soxi -D "$e2e_dir/$tempo.wav")
    music=$(awk -v t="$tempo" 'BEGIN { print 5.75 * 60 / t }')
    awk -v s="$seconds" -v m="$music" 'BEGIN { exit !(s >= m && s <= m + 2.1) }' ||
        fail "the WAV at $tempo lasts $seconds s for $music s of music"
    peak=$(sox "$e2e_dir/$tempo.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
    awk -v p="$peak" 'BEGIN { exit !(p > 0.05) }' || fail "the WAV at $tempo is silent ($peak)"
done

# Each refusal: its exit status, and neither the output nor a temporary file beside it.
refuse() {
    local want=$1 out=$2
    shift 2
    local status=0 err
    err=$(export_cli "$@" 2>&1 >/dev/null) || status=$?
    [ "$status" = "$want" ] || fail "'$*' ended with $status instead of $want: $err"
    # One line, from us: nothing of the libraries under the synthesiser.
    [ "$(echo "$err" | wc -l)" = 1 ] && [ "${err#quorlin: }" != "$err" ] ||
        fail "'$*' did not say it in one line: $err"
    [ ! -e "$out" ] || fail "'$*' left $out behind"
    [ -z "$(ls -A "$(dirname "$out")" | grep -v -e '^song' -e '^[0-9]*\.wav$' -e '^app.log$' -e '^config$' -e '^data$' -e '^pipe$')" ] ||
        fail "'$*' left $(ls -A "$(dirname "$out")") behind"
}
out=$e2e_dir/out.mid
refuse 1 "$out" --export-midi "$e2e_dir/none.tab" "$out"
refuse 1 "$out" --export-midi "$e2e_dir" "$out"
refuse 1 "$e2e_dir/no/such/dir/out.mid" --export-midi "$e2e_dir/song.tab" "$e2e_dir/no/such/dir/out.mid"
refuse 1 "$e2e_dir/out.wav" --export-wav "$e2e_dir/song.tab" "$e2e_dir/out.wav" --soundfont "$e2e_dir/song.tab"
# Damaged fonts: cut short, and with the bytes of its compressed sample inverted.
fonts=$(dirname "$0")/../audio/make_font.py
/usr/bin/python3 "$fonts" "$e2e_dir/song-good.sf3" --sf3
head -c 3000 "$e2e_dir/song-good.sf3" >"$e2e_dir/song-short.sf3"
/usr/bin/python3 "$fonts" "$e2e_dir/song-flipped.sf3" --sf3 --flip
for font in short flipped; do
    refuse 1 "$e2e_dir/out.wav" --export-wav "$e2e_dir/song.tab" "$e2e_dir/out.wav" --soundfont "$e2e_dir/song-$font.sf3"
done
export_cli --export-wav "$e2e_dir/song.tab" "$e2e_dir/100.wav" --soundfont "$e2e_dir/song-good.sf3" ||
    fail "the undamaged font was refused"
refuse 2 "$out" --export-midi "$e2e_dir/song.tab" "$out" --tempo 500
refuse 2 "$out" --export-midi "$e2e_dir/song.tab" "$out" --bogus
refuse 2 "$out" --export-midi "$e2e_dir/song.tab"
# A named pipe is neither read as a font nor replaced by a WAV file, and nothing waits on it.
mkfifo "$e2e_dir/pipe"
refuse 1 "$e2e_dir/out.wav" --export-wav "$e2e_dir/song.tab" "$e2e_dir/out.wav" --soundfont "$e2e_dir/pipe"
status=0
timeout 20 env -u DISPLAY "$app" --export-wav "$e2e_dir/song.tab" "$e2e_dir/pipe" 2>/dev/null || status=$?
[ "$status" = 1 ] && [ -p "$e2e_dir/pipe" ] || fail "a WAV export onto a pipe ended with $status"
echo "PASS: exports"
