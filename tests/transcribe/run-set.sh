#!/usr/bin/env bash
# Renders the transcription set, transcribes every render with Quorlin (tempo given and not)
# and the peers, scores them and prints one table; the figures go to
# BUILD_DIR/transcribe-set/report-PART.json.
# Usage: run-set.sh BUILD_DIR small|full [--no-peers] [--check[=GOALS]]
#   GOALS: a comma list of f, durations, tempo, peers (all when not given).
#   TRANSCRIBE_NOTES names the tool when it is not BUILD_DIR/bin/transcribe-notes.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
part=$2
shift 2
peers=1
check=()
for arg in "$@"; do
    case $arg in
    --no-peers) peers=0 ;;
    --check) check=(--check) ;;
    --check=*) check=(--check "${arg#--check=}") ;;
    *) echo "run-set: unknown argument $arg" >&2 && exit 2 ;;
    esac
done
py=/usr/bin/python3 # Debian's, with mido, numpy and mir_eval
tool=${TRANSCRIBE_NOTES:-$build/bin/transcribe-notes}
set_dir=$build/transcribe-set
results=$set_dir/results-$part
jobs=${TRANSCRIBE_JOBS:-2}

"$py" "$here/make_set.py" "$set_dir" --part "$part" --jobs "$jobs"
manifest=$set_dir/set-$part.json
# name, audio, tempo, strings and tuning of each render, one per line, tab-separated.
renders=$("$py" -c '
import json, sys
for r in json.load(open(sys.argv[1]))["renders"]:
    print("\t".join(str(r[k]) for k in ("name", "audio", "tempo", "strings", "tuning")))
' "$manifest")

systems=()
seconds() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(seconds)" 'BEGIN { printf "%.1f", b - a }'; }
export set_dir

if [ -x "$tool" ]; then
    mkdir -p "$results/quorlin"
    started=$(seconds)
    # Transcribed again only when the tool or the audio is newer than the answer.
    export tool results
    printf '%s\n' "$renders" | xargs -P "$jobs" -d '\n' -n 1 bash -c '
        IFS=$'"'\t'"' read -r name audio tempo strings tuning <<<"$1"
        wav=$set_dir/$audio
        for run in free tempo; do
            out=$results/quorlin/$name.json args=()
            if [ $run = tempo ]; then out=$results/quorlin/$name.tempo.json args=(--tempo "$tempo"); fi
            if [ -s "$out" ] && [ "$out" -nt "$tool" ] && [ "$out" -nt "$wav" ]; then continue; fi
            "$tool" "$wav" "${args[@]}" --strings "$strings" --tuning "$tuning" >"$out.part" ||
                { echo "run-set: transcribe-notes failed on $wav" >&2; rm -f "$out.part"; exit 255; }
            mv "$out.part" "$out"
        done' _
    echo "run-set: Quorlin took $(since "$started") s"
    systems+=(--system "quorlin=$results/quorlin")
elif [ ${#check[@]} -gt 0 ]; then
    echo "run-set: $tool is not built, nothing to check" >&2
    exit 1
else
    echo "run-set: $tool is not built; Quorlin left out" >&2
fi

# A peer's answer is kept by the hash of the audio and of the peer's own script, since the
# peers are the slow part and do not change between runs.
peer() {
    local name=$1 script=$2
    shift 2
    local cache=$set_dir/cache/$name
    mkdir -p "$cache" "$results/$name"
    local version
    version=$(cat "$script" "$root/tests/peers/package-lock.json" | sha1sum | cut -c1-10)
    local started
    started=$(seconds)
    export cache version name
    printf '%s\n' "$renders" | xargs -P "$jobs" -d '\n' -I{} bash -c '
        IFS=$'"'\t'"' read -r render audio _ <<<"$1"
        shift
        wav=$set_dir/$audio
        key=$(sha1sum "$wav" | cut -c1-16)-$version
        if [ ! -s "$cache/$key.json" ]; then
            "$@" "$wav" >"$cache/$key.json.part" ||
                { echo "run-set: $name failed on $wav" >&2; rm -f "$cache/$key.json.part"; exit 255; }
            mv "$cache/$key.json.part" "$cache/$key.json"
        fi
        cp "$cache/$key.json" "$results/$name/$render.json"' _ {} "$@"
    echo "run-set: $name took $(since "$started") s (cached answers reused)"
    systems+=(--system "$name=$results/$name")
}

if [ $peers = 1 ]; then
    if [ ! -d "$root/tests/peers/node_modules/@spotify/basic-pitch" ]; then
        echo "run-set: Basic Pitch is not installed; run scripts/install-deps" >&2
        exit 1
    fi
    peer basic-pitch "$root/tests/peers/basic-pitch-notes.mjs" node "$root/tests/peers/basic-pitch-notes.mjs"
    peer aubio "$root/tests/peers/aubio-notes.py" "$py" "$root/tests/peers/aubio-notes.py"
fi

if [ ${#systems[@]} -eq 0 ]; then
    echo "run-set: nothing to score" >&2
    exit 1
fi
cd "$here"
"$py" score.py "$set_dir" "$part" "${systems[@]}" --json "$set_dir/report-$part.json" "${check[@]}"
