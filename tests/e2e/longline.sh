#!/usr/bin/env bash
# A tab whose second line is three million characters long, as a file from anywhere may be:
# loaded, named at start, pasted or restored, it is refused in a box at once, and the window
# keeps the tab it had and goes on taking notes. (A file dropped on the window takes the
# same path as Open Recent and the command line: FileTest drops one.)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
app=$(readlink -f "$1")

long="$e2e_dir/long.tab"
{ printf '|   q\n'; head -c 3000000 /dev/zero | tr '\0' '-'; printf '\nD --5\nA ---\nE ---\n>    \n'; } >"$long"

# Answers the box named $1 (not the window $3, which may share its name) and prints how
# long it took to come since $2 (date +%s%N).
box_after() {
    next_window "^$1\$" "${3:-none}" "$1" >/dev/null
    echo "$1 box after $(( ($(date +%s%N) - $2) / 1000000 )) ms" >&2
    xdotool key Return
    wait_gone "^$1\$"
}

start_with_a_note "$app"

# Load: the box, and the tab the Clear question erased comes back.
xdotool key ctrl+o
confirm_clear
dialog=$(wait_window '^Load Tab$')
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 5 "$long"
t=$(date +%s%N)
xdotool key Return
box_after 'Load Tab' "$t" "$dialog"
focus_window '^Quorlin v1\.0$'
[ "$(tab_text "$win")" = "$before" ] || fail "after the refused load the tab is: $(tab_text "$win")"

# A paste of such a line into the text area puts nothing in.
head -c 3000000 /dev/zero | tr '\0' '7' | xclip -selection clipboard >/dev/null 2>&1
click_at "$win" "${TAB_AREA[@]}"
xdotool key ctrl+End
t=$(date +%s%N)
xdotool key ctrl+v
box_after 'Paste' "$t"
focus_window '^Quorlin v1\.0$'
[ "$(tab_text "$win")" = "$before" ] || fail "after the refused paste the tab is: $(tab_text "$win")"
# The window still writes notes.
click_at "$win" $(neck_cell 5 3)
xdotool key 5 Return
sleep 0.3
[[ $(tab_text "$win") == *"--7--5"* ]] || fail "no note after the refusals: $(tab_text "$win")"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=

# Named at start: the box over an empty tab. (The notes of the run before are no
# unsaved work to offer here.)
recovery="$e2e_dir/data/AmbrelApps/Quorlin/recovery"
rm -f "$recovery"/*
start_app "$app" "$long"
refused_at_start 30
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=

# A recovery copy holding it is set aside, named in one box; the window opens empty.
rm -f "$recovery"/*
python3 - "$recovery/crafted.qrec" <<'PY'
import sys, zlib
def field(b): return b"%d:%s" % (len(b), b)
lines = [b"|   q", b"G " + b"-" * 3000000, b"D --5", b"A ---", b"E ---", b">    "]
body = b"Quorlin recovery copy 1\nsource 0:\nwidth 80\ntempo 100\nstrings 4\ntuning"
body += b"".join(b" " + field(n) for n in [b"G ", b"D ", b"A ", b"E ", b"B ", b"C "]) + b"\n"
body += b"block 0\nlast 3 5\nmark 0 0\nunlocked 0\nchord 1\nneeds-block 0\nstripped-blanks 0\n"
body += b"from 0:\nartist 0:\nbass 0:\ncomments 0\nlines 6\n"
body += b"".join(field(l) + b"\n" for l in lines)
open(sys.argv[1], "wb").write(body + b"end %08x\n" % zlib.crc32(body))
PY
start_app "$app"
list=$(wait_window '^Recover unsaved work$')
focus_window '^Recover unsaved work$'
t=$(date +%s%N)
xdotool key Return # Restore
next=$(next_window '^Recover unsaved work$' "$list" "restore")
echo "refused copy box after $(( ($(date +%s%N) - t) / 1000000 )) ms" >&2
xdotool key Return
wait_gone '^Recover unsaved work$'
win=$(wait_window '^Quorlin v1\.0$')
[ -z "$(tab_text "$win")" ] || fail "the refused copy left text behind"
[ -f "$recovery/crafted.qrec.damaged" ] || fail "the copy was not set aside: $(ls "$recovery")"
echo "PASS: long line"
