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
