#!/bin/sh
# The command-line import as a user meets it: a text far too long is refused before a byte is
# read, a tab whose only note is past the neck says what was read, a UTF-16 tab and a tab this
# program wrote are imported.
set -u
app=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
import() {
    env -u DISPLAY "$app" --import-tab "$dir/$1" "$dir/out.tab" 2>"$dir/err"
}

# Sparse: reading it whole would take minutes and gigabytes.
truncate -s 5G "$dir/huge.txt"
import huge.txt && fail "a 5 GB text was imported"
grep -q "huge.txt is longer than 2 MB" "$dir/err" || fail "huge: $(cat "$dir/err")"
head -c $((2 * 1024 * 1024 + 1)) /dev/zero | tr '\0' '-' >"$dir/over.txt"
import over.txt && fail "a text one byte over 2 MB was imported"
grep -q "over.txt is longer than 2 MB" "$dir/err" || fail "over: $(cat "$dir/err")"

printf 'G|-----|\nD|-----|\nA|--25-|\nE|-----|\n' >"$dir/far.txt"
import far.txt && fail "a tab with no playable note was imported"
grep -q "far.txt holds 4 string lines, but no note came in: line 3, column 5: fret 25" \
    "$dir/err" || fail "far: $(cat "$dir/err")"

printf 'G|-------|\nD|-------|\nA|-3---5-|\nE|-------|\n' | iconv -f ASCII -t UTF-16 >"$dir/wide.txt"
import wide.txt || fail "the UTF-16 tab was not imported: $(cat "$dir/err")"
grep -q "UTF-16" "$dir/err" || fail "UTF-16 was not said: $(cat "$dir/err")"
tr -d '\r' <"$dir/out.tab" | grep -qx 'A --3--5' || fail "UTF-16: $(cat "$dir/out.tab")"

# A block as Quorlin writes it keeps its durations, whatever the spacing asked.
printf '|   q  e e.\nG ---------\nD --0H-3\\-5\nA ---------\nE ---------\n>      +  .\n' >"$dir/own.txt"
env -u DISPLAY "$app" --import-tab "$dir/own.txt" "$dir/out.tab" --smallest eighth 2>"$dir/err" ||
    fail "own: $(cat "$dir/err")"
tr -d '\r' <"$dir/out.tab" | grep -A6 -x '|   q  e e\.' | tr '\n' '/' |
    grep -qx '|   q  e e\./G ---------/D --0H-3\\-5/A ---------/E ---------/>      +  \./*' ||
    fail "own: $(cat "$dir/out.tab")"
echo PASS
