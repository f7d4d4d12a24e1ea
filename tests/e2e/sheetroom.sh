#!/usr/bin/env bash
# View > Sheet on a screen of 1600 pixels (XVFB_SCREEN): a window of the designed width grows
# by the panel; one the user widened to 1300 pixels grows only to the screen's edge and the
# panel takes the rest from the text area. Neither passes the screen, and closing the panel
# gives the width back.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
app=$(readlink -f "$1")
screen_width=$(xdpyinfo | awk '/dimensions:/ {split($2, d, "x"); print d[1]}')
[ "$screen_width" = 1600 ] || fail "the screen is $screen_width pixels wide, not 1600"

# x, y, width of the window.
geometry() {
    xdotool getwindowgeometry "$1" | awk '/Position/ {split($2, p, ","); x = p[1]; y = p[2]}
        /Geometry/ {split($2, g, "x"); print x, y, g[1]}'
}
# Waits until the window's width settles, and prints its geometry.
settled() {
    local last= now
    for _ in $(seq 1 40); do
        sleep 0.25
        now=$(geometry "$1")
        [ "$now" = "$last" ] && break
        last=$now
    done
    echo "$now"
}

# Waits, on a busy machine, for the width to leave FROM before it settles.
moved() {
    for _ in $(seq 1 40); do
        read -r _ _ w < <(geometry "$1")
        [ "$w" != "$2" ] && break
        sleep 0.25
    done
    settled "$1"
}

start_app "$app"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'
read -r _ _ designed < <(settled "$win")

for width in "$designed" 1300; do
    xdotool windowsize "$win" "$width" 600
    read -r x0 _ w0 < <(settled "$win")
    [ "$w0" = "$width" ] || fail "the window is $w0 wide, not $width"
    focus_window '^Quorlin v1\.0$'
    xdotool key F4
    read -r x y w < <(moved "$win" "$w0")
    echo "window of $w0 at $x0: $w at $x with the sheet" >&2
    [ $((x + w)) -le 1600 ] && [ "$x" -ge 0 ] || fail "the window reaches past the screen: $x, $w"
    [ "$w" -ge $((w0 + 300)) ] || [ "$w" = 1600 ] || fail "the window made no room: $w"
    import -window root "${TMPDIR:-/tmp}/quorlin-sheet-$width.png"
    xdotool key F4
    read -r _ _ w < <(moved "$win" "$w")
    [ "$w" = "$w0" ] || fail "closed, the sheet left the window $w wide instead of $w0"
done
echo "PASS: sheet room"
