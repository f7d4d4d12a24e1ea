# Shared steps of the end-to-end scripts: start the real program, find its windows, click.
# Expects DISPLAY to point at a private Xvfb (scripts/with-xvfb).

e2e_dir=$(mktemp -d)
app_pid=
e2e_cleanup() {
    local status=$?
    # Subshells of $(...) run this trap too; only the script itself may clean up.
    [ "$BASHPID" = "$$" ] || return "$status"
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$app_pid" ] && wait "$app_pid" 2>/dev/null || true
    # A sanitizer's report in the program's output fails the script that ran it.
    if grep -q -E 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$e2e_dir/app.log" 2>/dev/null; then
        echo "FAIL: the program reported an error:" >&2
        cat "$e2e_dir/app.log" >&2
        status=1
    fi
    rm -rf "$e2e_dir"
    exit "$status"
}
trap e2e_cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    # What the screen showed, for whoever reads the failure.
    import -window root "${TMPDIR:-/tmp}/quorlin-e2e-failure.png" 2>/dev/null || true
    exit 1
}

# Starts the program with settings of its own, so the user's are never touched, in a
# folder of its own, where its file dialogs open.
start_app() {
    local app
    app=$(readlink -f "$1")
    (cd "$e2e_dir" && XDG_CONFIG_HOME="$e2e_dir/config" XDG_DATA_HOME="${E2E_DATA_HOME:-$e2e_dir/data}" exec "$app" "${@:2}") >>"$e2e_dir/app.log" 2>&1 &
    app_pid=$!
}

# Waits for the program to end by itself.
wait_exit() {
    local deadline=$((SECONDS + 10))
    while kill -0 "$app_pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the program did not end"
        sleep 0.05
    done
    wait "$app_pid" 2>/dev/null || true
    app_pid=
}

# Clicks at a point of the whole screen.
click_screen() {
    xdotool mousemove "$1" "$2" click 1
}

# Gives the keyboard to a new window: without a window manager nobody else does.
focus_window() {
    local id
    id=$(wait_window "$1")
    sleep 0.2
    xdotool windowfocus "$id"
    sleep 0.1
}

# Waits until the window holding the keyboard is one whose name matches: the program may take
# a moment to hand the keyboard on, and keys sent before then go to the window it leaves.
wait_focus() {
    local pattern=$1 deadline=$((SECONDS + 10))
    until timeout 5 xdotool getwindowfocus getwindowname 2>/dev/null | grep -q -E "$pattern"; do
        [ "$SECONDS" -lt "$deadline" ] || fail "the keyboard did not come to '$pattern'"
        sleep 0.05
    done
}

# Answers a file dialog: its name field gets the whole path, then Return.
answer_file_dialog() {
    wait_window "^$1\$" >/dev/null
    sleep 0.3
    xdotool key ctrl+a
    xdotool type --delay 5 "$2"
    xdotool key Return
    wait_gone "^$1\$"
}

# Answers the Clear question with its default button, Yes.
confirm_clear() {
    focus_window '^Warning !$'
    xdotool key Return
    wait_gone '^Warning !$'
}

# Prints the id of the first visible window whose name matches, polling tightly.
wait_window() {
    local pattern=$1 timeout=${2:-20} id
    local deadline=$((SECONDS + timeout))
    while [ "$SECONDS" -lt "$deadline" ]; do
        id=$(timeout 5 xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1) || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended early: $(cat "$e2e_dir/app.log")"
        sleep 0.05
    done
    fail "no window named '$pattern' after ${timeout}s"
}

# Starts the program and types a tab of its own, one A on fret 7, for Undo to bring back:
# sets `win` and `before`, the tab's text.
start_with_a_note() {
    start_app "$1"
    win=$(wait_window '^Quorlin v1\.0$')
    focus_window '^Quorlin v1\.0$'
    xdotool key Down Down 7 Return
    sleep 0.3
    before=$(tab_text "$win")
    [ -n "$before" ] || fail "the note typed first is not in the tab"
}

# Steps whose windows share one name: prints the id of the visible window named like $1 that
# is not $2 (the step before's), focused; $3 names that step for the failure.
next_window() {
    local id
    for _ in $(seq 1 200); do
        id=$(timeout 5 xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) || true
        [ -n "$id" ] && [ "$id" != "$2" ] && break
        id=
        sleep 0.05
    done
    [ -n "$id" ] || fail "no window named $1 after the $3"
    sleep 0.3
    xdotool windowfocus "$id" 2>/dev/null || true
    sleep 0.1
    echo "$id"
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

# Waits for a file the program writes once a dialog has closed: the dialog goes first, the
# write after it, which a slow build (the sanitizers') makes visible.
wait_file() {
    local deadline=$((SECONDS + 10))
    until [ -f "$1" ]; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# Waits until no visible window has a name that matches.
wait_gone() {
    local pattern=$1 deadline=$((SECONDS + 10))
    while timeout 5 xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || fail "window '$pattern' still open"
        sleep 0.05
    done
}

# The whole text of the tab area, read back through the clipboard. A marker goes on the
# clipboard first, so a copy that did not happen cannot pass for one; an empty tab copies
# nothing and reads as empty.
tab_text() {
    local win=$1 marker="<nothing copied>" text
    # xclip stays behind to serve the marker: it must not hold this function's output open.
    printf '%s' "$marker" | xclip -selection clipboard >/dev/null 2>&1
    # The text area takes the keys.
    click_at "$win" "${TAB_AREA[@]}"
    xdotool key ctrl+a ctrl+c
    sleep 0.2
    text=$(timeout 5 xclip -o -selection clipboard) || fail "the clipboard did not answer"
    [ "$text" = "$marker" ] && text=
    printf '%s' "$text"
}

# Window points of the controls the scripts use. The designed area starts below the menu bar.
AREA_TOP=19
neck_cell() { echo $((9 + $1 * 21 + 10)) $((AREA_TOP + 9 + $2 * 17 + 8)); }
TAB_AREA=(40 $((272 + AREA_TOP)))
BUTTON_S=(572 $((24 + AREA_TOP)))
BUTTON_E=(572 $((48 + AREA_TOP)))
BUTTON_Q=(612 $((48 + AREA_TOP)))
CHECK_DOT=(566 $((116 + AREA_TOP)))
RADIO_H=(568 $((144 + AREA_TOP)))
RADIO_S=(568 $((172 + AREA_TOP)))
RADIO_DEFAULT=(568 $((243 + AREA_TOP)))
BUTTON_SAVE=(184 $((188 + AREA_TOP)))
BUTTON_CLIP=(304 $((188 + AREA_TOP)))
BUTTON_CLEAR=(64 $((212 + AREA_TOP)))
BUTTON_LOAD=(184 $((212 + AREA_TOP)))
BUTTON_HEADER=(304 $((212 + AREA_TOP)))
BUTTON_EXIT=(304 $((236 + AREA_TOP)))
CHECK_STRINGS=(135 $((240 + AREA_TOP)))
STRINGS_UP=(236 $((238 + AREA_TOP)))

# Prints the id of a visible window other than the given one, polling; by default any of
# the program's, else those that the given xdotool search options find. The tuning pop-up
# has no caption of its own, and the unsaved-work box shares the main window's.
wait_other_window() {
    local main=$1 deadline=$((SECONDS + 10)) id
    shift
    [ $# -gt 0 ] || set -- --class '^quorlin$'
    while [ "$SECONDS" -lt "$deadline" ]; do
        for id in $(timeout 5 xdotool search --onlyvisible "$@" 2>/dev/null); do
            if [ "$id" != "$main" ]; then
                echo "$id"
                return 0
            fi
        done
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended early: $(cat "$e2e_dir/app.log")"
        sleep 0.05
    done
    fail "no second window of the program after 10s"
}

# More window points.
BUTTON_H=(612 $((24 + AREA_TOP)))
RADIO_P=(568 $((158 + AREA_TOP)))
RADIO_SLAP=(568 $((186 + AREA_TOP)))
RADIO_POP=(568 $((200 + AREA_TOP)))
RADIO_CHORD=(568 $((214 + AREA_TOP)))
WIDTH_FIELD=(92 $((244 + AREA_TOP)))
# Points of the tuning pop-up, from its top-left corner.
POPUP_UP=(88 14)
POPUP_OK=(52 47)
# Screen points of the header dialog's fields and its "Ok".
HEADER_FROM=(700 359)
HEADER_ARTIST=(700 383)
HEADER_BASSPERF=(700 407)
HEADER_COMMENT=(700 440)
HEADER_OK=(958 363)

# The "Load Tab" box a file named at start brings up: Return closes it, and the window it
# leaves must hold no text. Waits up to $1 seconds (20) for the box.
refused_at_start() {
    wait_window '^Load Tab$' "${1:-20}" >/dev/null
    focus_window '^Load Tab$'
    xdotool key Return
    wait_gone '^Load Tab$'
    win=$(wait_window '^Quorlin v1\.0$')
    [ -z "$(tab_text "$win")" ] || fail "${2:-the refused file} left text behind"
}
