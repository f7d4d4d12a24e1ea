# Shared steps of the end-to-end scripts: start the real program, find its windows, click.
# Expects DISPLAY to point at a private Xvfb (scripts/with-xvfb).

e2e_dir=$(mktemp -d)
app_pid=
e2e_cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$app_pid" ] && wait "$app_pid" 2>/dev/null || true
    rm -rf "$e2e_dir"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Starts the program with settings of its own, so the user's are never touched.
start_app() {
    XDG_CONFIG_HOME="$e2e_dir/config" "$1" >"$e2e_dir/app.log" 2>&1 &
    app_pid=$!
}

# Prints the id of the first visible window whose name matches, polling tightly.
wait_window() {
    local pattern=$1 timeout=${2:-20} id
    local deadline=$((SECONDS + timeout))
    while [ "$SECONDS" -lt "$deadline" ]; do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1) || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended early: $(cat "$e2e_dir/app.log")"
        sleep 0.05
    done
    fail "no window named '$pattern' after ${timeout}s"
}

# Clicks at a point given in the window's client coordinates.
click_at() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

# Drags with the left button from one point of the window to another, as a hand would:
# a first move past the drag distance, then over the target, a nudge there, release.
drag() {
    local win=$1 x1=$2 y1=$3 x2=$4 y2=$5
    xdotool mousemove --window "$win" "$x1" "$y1" mousedown 1
    sleep 0.1
    xdotool mousemove --window "$win" $((x1 + 12)) $((y1 + 12))
    sleep 0.1
    xdotool mousemove --window "$win" "$x2" "$y2"
    sleep 0.1
    xdotool mousemove --window "$win" $((x2 + 1)) "$y2"
    sleep 0.1
    xdotool mouseup 1
    sleep 0.2
}

# Waits until no visible window has a name that matches.
wait_gone() {
    local pattern=$1 deadline=$((SECONDS + 10))
    while xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || fail "window '$pattern' still open"
        sleep 0.05
    done
}

# The whole text of the tab area, read back through the clipboard (emptied first, so a
# copy that did not happen cannot pass for one).
tab_text() {
    local win=$1
    printf '' | xclip -selection clipboard
    click_at "$win" 300 330
    xdotool key ctrl+a ctrl+c
    sleep 0.2
    xclip -o -selection clipboard
}

# Window points of the controls the scripts use.
neck_cell() { echo $((9 + $1 * 21 + 10)) $((9 + $2 * 17 + 8)); }
BUTTON_S=(572 24)
BUTTON_E=(572 48)
BUTTON_Q=(612 48)
BUTTON_W=(612 72)
PANEL_REST=(576 72)
BUTTON_REP=(576 96)
BUTTON_BACK=(616 96)
CHECK_DOT=(566 116)
RADIO_H=(568 144)
RADIO_S=(568 172)
RADIO_TRIPLET=(568 229)
RADIO_DEFAULT=(568 243)
