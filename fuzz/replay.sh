#!/bin/sh
# Runs each fuzz target once over every input the repository keeps for it, without fuzzing:
# its seeds in fuzz/corpus/<target> and the inputs that once made it fail, kept in
# fuzz/crashes/<target>. A crash that was fixed and comes back fails here, in seconds.
# Usage: fuzz/replay.sh BUILD_DIR TARGET...
set -u
build=$1
shift
here=$(dirname "$0")
mkdir -p "$build/artifacts" "$build/logs"
failed=""
newline='
'
for target in "$@"; do
    inputs=$(find "$here/corpus/$target" "$here/crashes/$target" -type f 2>/dev/null | sort)
    if [ -z "$inputs" ]; then
        echo "!! $target: no kept inputs in $here/corpus/$target"
        failed="$failed $target"
        continue
    fi
    log="$build/logs/replay-$target.log"
    echo "== $target: $(printf '%s\n' "$inputs" | wc -l) kept inputs"
    # One argument per file, so libFuzzer runs each once and writes nothing beside them.
    old_ifs=$IFS
    IFS=$newline
    # shellcheck disable=SC2086
    if ! "$build/bin/$target" -timeout=20 -artifact_prefix="$build/artifacts/replay-$target-" \
        $inputs >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "!! $target failed on a kept input: the log is in $log"
        failed="$failed $target"
    fi
    IFS=$old_ifs
done
[ -z "$failed" ] || { echo "Replay failed:$failed"; exit 1; }
