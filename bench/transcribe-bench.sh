#!/usr/bin/env bash
# Times the transcription of three minutes of bass on one core: Quorlin's transcribe-notes (best
# of three) and Basic Pitch on the same audio (once; it is the slow one). Prints the bench's
# figures, "name nanoseconds", and each speed against real time on standard error.
# Usage: bench/transcribe-bench.sh BUILD_DIR
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-bench}" && pwd)
tool=${TRANSCRIBE_NOTES:-$build/bin/transcribe-notes}
seconds=180
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The small part's clean renders one after another until there are three minutes.
/usr/bin/python3 "$root/tests/transcribe/make_set.py" "$build/transcribe-set" --part small >/dev/null
mapfile -t clean < <(ls "$build"/transcribe-set/audio/small-*-clean-*.wav)
parts=()
while [ ${#parts[@]} -lt 40 ]; do parts+=("${clean[@]}"); done
sox "${parts[@]}" "$work/long.wav" trim 0 "$seconds"

now() { date +%s%N; }
speed() { awk -v ns="$2" -v s="$seconds" 'BEGIN { printf "%s: %.1f times faster than real time\n", ARGV[1], s / (ns / 1e9) }' "$1" >&2; }

if [ -x "$tool" ]; then
    best=
    for _ in 1 2 3; do
        begin=$(now)
        taskset -c 0 "$tool" "$work/long.wav" >/dev/null
        took=$(($(now) - begin))
        if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
    done
    echo "transcribe_3min $best"
    speed "transcribe-notes" "$best"
else
    echo "transcribe-bench: $tool is not built" >&2
fi

begin=$(now)
taskset -c 0 node "$root/tests/peers/basic-pitch-notes.mjs" "$work/long.wav" >/dev/null
took=$(($(now) - begin))
echo "transcribe_basic_pitch_3min $took"
speed "Basic Pitch" "$took"
