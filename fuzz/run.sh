#!/bin/sh
# Runs each fuzz target for the given seconds, from a copy of its seeds that keeps growing
# from run to run under the build folder; the repository's corpus is never written.
# Usage: fuzz/run.sh BUILD_DIR SECONDS TARGET...
set -u
build=$1
seconds=$2
shift 2
here=$(dirname "$0")
mkdir -p "$build/artifacts" "$build/logs"
failed=""
for target in "$@"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp "$here/corpus/$target/"* "$corpus/"
    dict=""
    [ -f "$here/$target.dict" ] && dict="-dict=$here/$target.dict"
    # Guitar Pro scores are long texts: their targets' budgets fail a hang long before it
    # grows to its full size, but real files and what they repeat need room.
    max_len=""
    case $target in read_gpif_song | read_gpx_container) max_len="-max_len=262144" ;; esac
    log="$build/logs/$target.log"
    echo "== $target: $seconds s"
    # A run that exceeds the timeout is a hang, and it fails like a crash. Inputs may grow
    # sooner than libFuzzer's default allows: the engine needs long runs of actions.
    if "$build/bin/$target" -max_total_time="$seconds" -timeout=20 -len_control=20 $max_len \
        -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target-" $dict "$corpus" >"$log" 2>&1; then
        grep -E '^(#[0-9]+[[:space:]]+DONE|Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log"
    else
        tail -n 60 "$log"
        echo "!! $target failed: the input is in $build/artifacts, the log in $log"
        failed="$failed $target"
    fi
done
[ -z "$failed" ] || { echo "Fuzzing failed:$failed"; exit 1; }
