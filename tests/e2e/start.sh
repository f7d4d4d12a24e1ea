#!/usr/bin/env bash
# The program starts from the build tree, its window maps where it was designed to, and
# the Help button opens the help window.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')

xwininfo -id "$win" | grep -q 'Map State: IsViewable' || fail "the main window is not viewable"
geometry=$(xdotool getwindowgeometry "$win")
grep -q 'Position: 250,277' <<<"$geometry" || fail "window not at 250,277: $geometry"

click_at "$win" 460 $((253 + AREA_TOP))
wait_window '^Quorlin Help$' >/dev/null
kill -0 "$app_pid" || fail "the program died after Help"

# The sound font loads and the device is tried a moment after start: on a machine without a
# sound card the libraries under the synthesiser must not fill stderr with their complaints
# (the status bar says it once).
for _ in $(seq 100); do
    grep -q -e 'ALSA lib' -e 'CRITICAL' -e '^$' "$e2e_dir/app.log" && break
    sleep 0.05
done
! grep -e 'ALSA lib' -e 'CRITICAL' -e '^$' "$e2e_dir/app.log" || fail "stderr holds the libraries' messages"
echo "e2e start: passed"
