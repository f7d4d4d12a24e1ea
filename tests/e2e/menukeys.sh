#!/usr/bin/env bash
# Keys pressed while a menu is open belong to the menu: its mnemonics choose the items and
# nothing reaches the neck behind it, whose own keys share those letters (R a rest, S a
# sixteenth). The menu is opened both by Alt+F and by a click on "File".
set -euo pipefail
source "$(dirname "$0")/lib.sh"

press() {
    xdotool key "$@"
    sleep 0.3
}

tab_is() {
    local got
    got=$(tab_text "$win")
    # Escape gives the keys back to the neck.
    xdotool key Escape
    [ "$got" = "$2" ] || fail "$1:"$'\n'"$got"$'\n'"instead of:"$'\n'"$2"
}

start_app "$1"
win=$(wait_window '^Quorlin v1\.0$')
focus_window '^Quorlin v1\.0$'

# A saved tab puts its file on the recent list.
press Down Down 5 Return
saved=$(tab_text "$win")
xdotool key Escape
[ -n "$saved" ] || fail "no note was written"
press ctrl+s
answer_file_dialog 'Save Tab' "$e2e_dir/a.tab"
focus_window '^Quorlin v1\.0$'
press ctrl+n
confirm_clear
focus_window '^Quorlin v1\.0$'
tab_is "the cleared tab" ""

# R opens "Open Recent", whose first entry 1 opens the saved tab.
press alt+f
press r
press 1
tab_is "the tab opened from Open Recent" "$saved"

# S chooses "Save" from the menu opened by a click: the file takes the new note, and the
# next note is still a quarter, not a sixteenth.
press Up 7 Return
changed=$(tab_text "$win")
xdotool key Escape
click_at "$win" 24 9
sleep 0.3
press s
# The file's lines end in CR LF.
new_line=$(grep -- '7' <<<"$changed")$'\r'
for _ in $(seq 1 50); do
    grep -qxF -- "$new_line" "$e2e_dir/a.tab" && break
    sleep 0.1
done
grep -qxF -- "$new_line" "$e2e_dir/a.tab" || fail "Save was not chosen: $(cat "$e2e_dir/a.tab")"
press Return
after=$(tab_text "$win")
durations=$(head -n1 <<<"$after")
xdotool key Escape
[ "$durations" = "$(head -n1 <<<"$changed")  q" ] ||
    fail "the note after the menu: '$durations' after '$(head -n1 <<<"$changed")'"
echo "e2e menu keys: passed"
