#!/usr/bin/env bash
# Runs every benchmark against its floor, prints one table and writes it as JSON.
# Usage: bench/run.sh BUILD_DIR   (a build of the "bench" preset)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
bin=$build/bin
repeats=${BENCH_REPEATS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The window must not read or write the user's settings.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/runtime
mkdir -p -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
figures=$work/figures

offscreen() { QT_QPA_PLATFORM=offscreen "$@" 2>/dev/null; }
# The middle of the numbers on standard input.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# About 10 MB and 140,000 lines of a four-string tab.
offscreen "$bin/quorlin_bench" gen "$work/big.tab" 520000

offscreen "$bin/quorlin_bench" notes "$work" >>"$figures"
# Return on the neck of a 100,000-note tab until the frame that shows the note, then the
# floor making the same edits in a shown text area of the same look.
offscreen "$bin/quorlin_bench" latency "$work" 1000 >>"$figures"
offscreen "$bin/bench_floor" latency "$work" >>"$figures"
# Return on a column in the middle of tabs of 1,000 to 100,000 notes, the tab cursor on it,
# and Ins at the start of the biggest, which lays the whole tab out again.
offscreen "$bin/quorlin_bench" edits "$work" 21 >>"$figures"
offscreen "$bin/quorlin_bench" files "$work/big.tab" "$work" "$repeats" >>"$figures"
offscreen "$bin/bench_floor" load "$work/big.tab" "$repeats" >>"$figures"
offscreen "$bin/quorlin_bench" score "$work/big.tab" "$repeats" >>"$figures"
# A web tab of 10,000 lines (and of 1,000) imported, against the engine writing its notes.
"$bin/bench_webtab" "$repeats" >>"$figures"
offscreen "$bin/quorlin_bench" playing "$work" >>"$figures"
# Space to the first note and Shift+Space to silence, on the clock output, font loaded.
offscreen "$bin/quorlin_bench" reaction "$work" >>"$figures"
# Another tuning for a tab of 10,000 notes, against a budget of one second.
offscreen "$bin/quorlin_bench" gen "$work/retune.tab" 10000
offscreen "$bin/quorlin_bench" retune "$work/retune.tab" "$repeats" >>"$figures"
# A MIDI file of 10,000 notes the bench writes itself, read as a song, against a budget of a
# tenth of a second; the largest file, 64 MB of running status, against a second.
offscreen "$bin/quorlin_bench" midi "$repeats" >>"$figures"
# Strings and frets chosen for a line of pitches of 1,000, 10,000 and 100,000 notes.
offscreen "$bin/quorlin_bench" fingering "$repeats" >>"$figures"
# The tab as printed pages: the 10 MB one read and laid out with the estimated widths and with
# the fonts', and one a tenth its size for the time per bar. 9,750 notes come to 100 A4 pages,
# which the command line writes as PDF, timed as a process against a budget of a second.
offscreen "$bin/quorlin_bench" gen "$work/tenth.tab" 52000
offscreen "$bin/quorlin_bench" gen "$work/pages.tab" 9750
offscreen "$bin/quorlin_bench" sheet "$work/big.tab" "$work/tenth.tab" "$work/pages.tab" "$repeats" >>"$figures"
for _ in $(seq "$repeats"); do
    begin=$(date +%s%N)
    "$bin/quorlin" --export-pdf "$work/pages.tab" "$work/pages.pdf" --page a4 >/dev/null 2>&1
    echo $(($(date +%s%N) - begin))
done | median | sed 's/^/pdf_export /' >>"$figures"
echo "pdf_bytes $(stat -c %s "$work/pages.pdf")" >>"$figures"
# View > Sheet beside a 1,000-bar tab: Return on the neck until the sheet is laid out again
# and painted, fifty times, against a frame of 16 ms.
offscreen "$bin/quorlin_bench" sheetview "$work" 50 >>"$figures"
# A recovery copy whose first line is 5 MB: offered against a budget of a tenth of a second,
# restored against the same tab put into a bare text area.
offscreen "$bin/quorlin_bench" recovery "$work" "$repeats" >>"$figures"
# A four-track Guitar Pro 5 file of 1,000 bars read into a song, against 100 ms.
python3 "$root/tests/files/write_gp.py" --bench "$work/bench.gp5" 1000
offscreen "$bin/quorlin_bench" guitarpro "$work/bench.gp5" "$repeats" >>"$figures"
# The synthesiser: a three-minute tab to WAV against the fluidsynth command on our MIDI export.
"$bin/bench_audio" 2>/dev/null | tee "$work/audio" | grep -v '^audio: ' >>"$figures"
# A minute of live playback, the program at nice 15 as in the background, on a machine kept
# busy on every core: periods asked for too late, and the holes of digital silence recorded
# from a sound server of our own with a sink that plays nothing (goal: none).
if command -v pulseaudio >/dev/null && command -v parec >/dev/null; then
    live=$work/pulse
    mkdir -p -m 700 "$live"
    PULSE_RUNTIME_PATH=$live PULSE_STATE_PATH=$live pulseaudio -n --daemonize=no \
        --exit-idle-time=-1 --log-target=file:/dev/null \
        -L "module-native-protocol-unix socket=$live/native" -L "module-null-sink sink_name=quiet" &
    server=$!
    for _ in $(seq 50); do [ -S "$live/native" ] && break; sleep 0.1; done
    export PULSE_SERVER=unix:$live/native
    parec -d quiet.monitor --latency-msec=200 --file-format=wav "$live/heard.wav" &
    recorder=$!
    busy=()
    for _ in $(seq $((2 * $(nproc)))); do
        timeout 70 sh -c 'while :; do :; done' &
        busy+=($!)
    done
    nice -n 15 "$bin/bench_audio" --live 60 /usr/share/sounds/sf2/FluidR3_GM.sf2 2>/dev/null |
        tee -a "$work/audio" | grep -v '^audio: ' >>"$figures"
    kill "${busy[@]}" 2>/dev/null || true
    sleep 0.5
    kill "$recorder" && wait "$recorder" 2>/dev/null || true
    "$root/bench/silent-holes.py" "$live/heard.wav" | sed 's/^/live_/' >>"$figures"
    kill "$server" && wait "$server" 2>/dev/null || true
    unset PULSE_SERVER
else
    echo "bench: no PulseAudio, live playback not measured" >&2
fi
# Three minutes of bass transcribed on one core, and Basic Pitch on the same audio.
"$root/bench/transcribe-bench.sh" "$build" >>"$figures"
# Runs a command that prints "name value" `repeats` times; the figure is the median value.
repeated() {
    local name=$1
    shift
    for _ in $(seq "$repeats"); do "$@"; done | awk '{ print $NF }' | median | sed "s/^/$name /" >>"$figures"
}
# Peak memory is counted in a process of its own, each time afresh.
repeated rss_kb offscreen "$bin/quorlin_bench" rss "$work/big.tab"
repeated rss_floor_kb offscreen "$bin/bench_floor" hold "$work/big.tab"
# The history's memory, each in a process of its own: 10,000 notes typed one step each, the
# same tab loaded with no history behind it, and the engine alone writing those notes with
# the text's journal alone and with the history over it.
offscreen "$bin/quorlin_bench" gen "$work/small.tab" 1
offscreen "$bin/quorlin_bench" history "$work/typed.tab" >>"$figures"
offscreen "$bin/quorlin_bench" loaded "$work/typed.tab" "$work/small.tab" >>"$figures"
for keeping in journal history; do
    offscreen "$bin/quorlin_bench" bare "$keeping" >>"$figures"
done

# Start-up needs a real X server: the time from exec to the first window mapped.
"$root/scripts/with-xvfb" bash -c '
    bin=$1 repeats=$2
    "$bin/bench_floor" start >/dev/null 2>&1 & pid=$!; sleep 1; kill $pid; wait $pid 2>/dev/null # warm the caches
    for _ in $(seq "$repeats"); do echo "start $("$bin/bench_mapwait" "$bin/quorlin" 2>/dev/null)"; done
    for _ in $(seq "$repeats"); do echo "start_floor $("$bin/bench_mapwait" "$bin/bench_floor" start 2>/dev/null)"; done
' _ "$bin" "$repeats" >"$work/starts"
for name in start start_floor; do
    awk -v n="$name" '$1 == n { print $2 }' "$work/starts" | median | sed "s/^/$name /" >>"$figures"
done

# name, figure, floor, unit divisor, unit, goal (0: none of its own)
awk -v json="$build/bench.json" '
    { f[$1] = $2 }
    function row(name, figure, floor, div, unit, goal,   ratio, met) {
        ratio = floor > 0 ? figure / floor : 0
        met = goal == 0 ? "-" : (floor > 0 && ratio <= goal) ? "yes" : "no"
        printf "%-26s %12.3f %12.3f %-3s %7.3f %6s  %s\n", name, figure / div, floor / div, unit, ratio, goal == 0 ? "-" : goal, met
        out = out sprintf("%s    {\"name\": \"%s\", \"figure\": %.6g, \"floor\": %.6g, \"unit\": \"%s\", \"ratio\": %.4g, \"goal\": %s, \"met\": %s}",
                          (n++ ? ",\n" : ""), name, figure / div, floor / div, unit, ratio, goal == 0 ? "null" : goal, met == "-" ? "null" : met == "yes" ? "true" : "false")
    }
    END {
        printf "%-26s %12s %12s %-3s %7s %6s  %s\n", "figure", "value", "floor", "", "ratio", "goal", "met"
        row("note drop, 1,000 notes", f["notes_1000"], f["notes_floor_1000"], 1e3, "us", 0)
        row("note drop, 10,000 notes", f["notes_10000"], f["notes_floor_10000"], 1e3, "us", 0)
        row("note drop, 100,000 notes", f["notes_100000"], f["notes_floor_100000"], 1e3, "us", 2)
        row("100,000 vs 1,000 notes", f["notes_100000"], f["notes_1000"], 1e3, "us", 1.2)
        row("  the floor itself", f["notes_floor_100000"], f["notes_floor_1000"], 1e3, "us", 0)
        row("  vs edits in a text area", f["notes_100000"], f["notes_area_100000"], 1e3, "us", 0)
        row("whole drag, 1,000 notes", f["notes_drag_1000"], f["notes_floor_1000"], 1e3, "us", 0)
        row("whole drag, 100,000 notes", f["notes_drag_100000"], f["notes_floor_100000"], 1e3, "us", 0)
        row("  100,000 vs 1,000 notes", f["notes_drag_100000"], f["notes_drag_1000"], 1e3, "us", 0)
        row("note by key, 1,000 notes", f["notes_key_1000"], f["notes_floor_1000"], 1e3, "us", 0)
        row("note by key, 10,000 notes", f["notes_key_10000"], f["notes_floor_10000"], 1e3, "us", 0)
        row("note by key, 100,000 notes", f["notes_key_100000"], f["notes_floor_100000"], 1e3, "us", 2)
        row("  100,000 vs 1,000 notes", f["notes_key_100000"], f["notes_key_1000"], 1e3, "us", 1.2)
        row("  vs the drop", f["notes_key_100000"], f["notes_100000"], 1e3, "us", 0)
        # Against the note written at the end of a tab of the same size.
        row("replace mid-tab, 1,000", f["replace_mid_1000"], f["notes_key_1000"], 1e3, "us", 0)
        row("replace mid-tab, 10,000", f["replace_mid_10000"], f["notes_key_10000"], 1e3, "us", 0)
        row("replace mid-tab, 100,000", f["replace_mid_100000"], f["notes_key_100000"], 1e3, "us", 2)
        row("  100,000 vs 1,000 notes", f["replace_mid_100000"], f["replace_mid_1000"], 1e3, "us", 1.2)
        # Against a budget of a tenth of a second; beside it the processor time of the same
        # presses, and the share of each block.
        row("insert at start, 100,000", f["insert_start_100000"], 1e8, 1e6, "ms", 1)
        row("  processor time", f["insert_start_cpu_100000"], 1e8, 1e6, "ms", 0)
        row("  per block laid out", f["insert_start_100000"] / f["insert_start_blocks_100000"], 0, 1e3, "us", 0)
        # Wall time as the user waits; beside it the processor time of the same frames, which
        # leaves out the ticks the scheduler gave to other processes. On a busy machine those
        # ticks, not the program, decide the wall time of the slowest frames, so the goal for
        # the tail is on processor time.
        row("key to frame, 100,000 notes", f["key_frame"], f["key_frame_floor"], 1e6, "ms", 3)
        row("  95th percentile", f["key_frame_p95"], f["key_frame_floor_p95"], 1e6, "ms", 0)
        row("  processor time", f["key_frame_cpu"], f["key_frame_floor_cpu"], 1e6, "ms", 0)
        row("  its 95th percentile", f["key_frame_cpu_p95"], f["key_frame_floor_cpu_p95"], 1e6, "ms", 3)
        row("  the key, before painting", f["key_frame_act"], f["key_frame_floor_act"], 1e3, "us", 0)
        # Against the note itself: the drop on a tab of the same size.
        row("undo a note, 1,000 notes", f["undo_1000"], f["notes_1000"], 1e3, "us", 2)
        row("undo a note, 100,000 notes", f["undo_100000"], f["notes_100000"], 1e3, "us", 2)
        row("  100,000 vs 1,000 notes", f["undo_100000"], f["undo_1000"], 1e3, "us", 1.2)
        row("redo a note, 1,000 notes", f["redo_1000"], f["notes_1000"], 1e3, "us", 2)
        row("redo a note, 100,000 notes", f["redo_100000"], f["notes_100000"], 1e3, "us", 2)
        row("  100,000 vs 1,000 notes", f["redo_100000"], f["redo_1000"], 1e3, "us", 1.2)
        row("load 10 MB", f["load"], f["load_floor"], 1e6, "ms", 1.2)
        row("save 10 MB", f["save"], f["save_floor"], 1e6, "ms", 2)
        row("read as music, 10 MB", f["score_read"], f["score_load"], 1e6, "ms", 1.5)
        row("  vs a write synced to disk", f["save"], f["save_floor_synced"], 1e6, "ms", 0)
        row("  Qt document text alone", f["save_text_out"], f["save_floor"], 1e6, "ms", 0)
        row("MusicXML export, 10 MB", f["musicxml_export"], f["save"], 1e6, "ms", 2)
        row("  the writer alone", f["musicxml_text"], f["save"], 1e6, "ms", 0)
        row("  its size, vs the tab", f["musicxml_bytes"], f["musicxml_tab_bytes"], 1048576, "MB", 0)
        # Against a budget of one second, then against the engine writing the same notes.
        row("web tab, 10,000 lines", f["webtab_import_10000"], 1e9, 1e6, "ms", 1)
        row("  vs the engine alone", f["webtab_import_10000"], f["webtab_engine_10000"], 1e6, "ms", 0)
        row("  a line, vs 1,000 lines", f["webtab_import_10000"] / 10, f["webtab_import_1000"], 1e6, "ms", 1.2)
        row("retune, 10,000 notes", f["retune_10000"], 1e9, 1e6, "ms", 1)
        row("MIDI import, 10,000 notes", f["midi_import_10000"], 1e8, 1e6, "ms", 1)
        row("  64 MB of running status", f["midi_stream_64mb"], 1e9, 1e6, "ms", 1)
        # The whole import, the file read and its default track made a tab: four tracks of
        # 2,500 (the first bass track made a tab), and one bass track of 10,000 the chooser places.
        row("MIDI to a tab, 10,000 notes", f["midi_song_tab_10000"], 1e8, 1e6, "ms", 1)
        row("  one bass track of 10,000", f["midi_song_tab_bass_10000"], 1e8, 1e6, "ms", 1)
        # Against a budget of 50 ms; then the processor time per note at each length, and the
        # longest line against the shortest, near one as the path grows linearly (wall time
        # on a busy machine gives the ticks of a long run to other processes, as with key frames).
        row("fingering, 10,000 notes", f["fingering_10000"], 5e7, 1e6, "ms", 1)
        row("  processor time", f["fingering_cpu_10000"], 5e7, 1e6, "ms", 0)
        row("  a note, of 1,000", f["fingering_cpu_1000"] / 1e3, 0, 1, "ns", 0)
        row("  a note, of 10,000", f["fingering_cpu_10000"] / 1e4, 0, 1, "ns", 0)
        row("  a note, of 100,000", f["fingering_cpu_100000"] / 1e5, 0, 1, "ns", 0)
        row("  100,000 vs 1,000 notes", f["fingering_cpu_100000"] / 100, f["fingering_cpu_1000"], 1e6, "ms", 1.2)
        # Read and laid out, against the read alone; a bar of the big tab against one of the
        # tab a tenth its size, both with the estimated widths.
        row("sheet layout, 10 MB", f["sheet_layout_est"], f["sheet_read"], 1e6, "ms", 0)
        row("  widths from the fonts", f["sheet_layout_qt"], f["sheet_read"], 1e6, "ms", 0)
        row("  a bar, vs a tenth the size", f["sheet_bar_big"], f["sheet_bar_small"], 1, "ns", 1.2)
        row("  its bars", f["sheet_bars"], 0, 1, "", 0)
        row("PDF of 100 pages, command line", f["pdf_export"], 1e9, 1e6, "ms", 1)
        row("  its pages", f["pdf_pages"], 0, 1, "", 0)
        row("  its size", f["pdf_bytes"], 0, 1048576, "MB", 0)
        row("sheet view after a note", f["sheet_view_note"], 4e6, 1e6, "ms", 1)
        row("  the slowest of 50", f["sheet_view_note_worst"], 16e6, 1e6, "ms", 1)
        row("  the note itself", f["sheet_view_action"], 0, 1e6, "ms", 0)
        row("  the tab read as music", f["sheet_view_read"], 0, 1e6, "ms", 0)
        row("  its whole layout", f["sheet_view_layout"], 0, 1e6, "ms", 0)
        row("  from the changed system", f["sheet_view_relayout"], 0, 1e6, "ms", 0)
        row("  vs a tenth as long", f["sheet_view_relayout"], f["sheet_view_relayout_tenth"], 1e6, "ms", 1.2)
        row("  the paint of the view", f["sheet_view_paint"], 0, 1e6, "ms", 0)
        row("  its bars", f["sheet_view_bars"], 0, 1, "", 0)
        row("Guitar Pro 5, 1,000 bars", f["gp5_import_1000"], 1e8, 1e6, "ms", 1)
        row("  made a tab, its bass track", f["gp5_song_tab_1000"], 1e8, 1e6, "ms", 1)
        row("recovery offer, 5 MB line", f["recovery_offer_5mb"], 1e8, 1e6, "ms", 1)
        row("  the copy read whole", f["recovery_offer_floor"], 0, 1e6, "ms", 0)
        row("recovery restore, 5 MB line", f["recovery_restore_5mb"], f["recovery_restore_floor"], 1e6, "ms", 1.2)
        row("drop while playing, 100,000", f["notes_playing_100000"], f["notes_still_100000"], 1e3, "us", 1.2)
        row("  the tab read again", f["playing_reread"], 0, 1e6, "ms", 0)
        row("WAV of three minutes", f["wav_ours"], f["wav_cli"], 1e6, "ms", 1.2)
        # Against a fiftieth of the audio: at least 50 times faster than real time.
        if ("transcribe_3min" in f)
            row("transcribe 3 min of bass", f["transcribe_3min"], 180e9 / 50, 1e6, "ms", 1)
        row("  Basic Pitch, same audio", f["transcribe_basic_pitch_3min"], 180e9 / 50, 1e6, "ms", 0)
        row("memory with the font", f["font_rss_kb"], f["font_floor_kb"], 1024, "MB", 0)
        row("  window playing 100,000", f["playing_rss_kb"], 0, 1024, "MB", 0)
        row("audio buffer latency", f["latency"], 0, 1e6, "ms", 0)
        # Counts over a minute of playback under load; the goal is none of either.
        row("live: periods too late", f["live_late_periods"], 0, 1, "", 0)
        row("  holes heard", f["live_holes"], 0, 1, "", 0)
        row("  the longest", f["live_hole_longest"] * 1e3, 0, 1, "ms", 0)
        # Against a budget of 50 ms each.
        row("Play to the first note", f["play_to_sound"], 5e7, 1e6, "ms", 1)
        row("  the first, reading the tab", f["play_first"], 5e7, 1e6, "ms", 0)
        row("Stop to silence", f["stop_to_silence"], 5e7, 1e6, "ms", 1)
        row("start-up", f["start"], f["start_floor"], 1e6, "ms", 1.3)
        row("peak memory after load", f["rss_kb"], f["rss_floor_kb"], 1024, "MB", 1.2)
        # Heap in use, against the bytes of the tab itself. The history is what typing the tab
        # cost beyond loading it; the engine alone splits it between the journal of the text and
        # the states the steps keep.
        tab = f["typed_tab_bytes"]
        history = f["typed_heap"] - f["loaded_heap"]
        journal = f["bare_journal_bytes"]
        states = f["bare_history_heap"] - f["bare_journal_heap"]
        row("history of 10,000 notes", history, tab, 1024, "KB", 5)
        row("  per step", history / 1e4, tab / 1e4, 1, "B", 0)
        row("  journal of the edits", journal, tab, 1024, "KB", 0)
        row("  states of the steps", states, tab, 1024, "KB", 0)
        row("  rest: text area, window", history - journal - states, tab, 1024, "KB", 0)
        row("  resident set", f["typed_rss"] - f["loaded_rss"], tab, 1024, "KB", 0)
        row("tab loaded, no history", f["loaded_heap"], tab, 1024, "KB", 0)
        print "{\n  \"results\": [\n" out "\n  ]\n}" > json
    }' "$figures"
mkdir -p "$root/build"
cp "$build/bench.json" "$root/build/bench.json"
echo "figures in $build/bench.json and $root/build/bench.json"
