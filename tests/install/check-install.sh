#!/usr/bin/env bash
# Installs the build into a fresh DESTDIR and checks what lands there: exactly the files of
# files.txt, icons of the size their folder says, the help where the program looks for it,
# and a program that runs from there, with sound and without its sound module.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
prefix=$root/usr
failed=0
fail() { echo "check-install: $*"; failed=1; }

if ! diff -u <(grep -v '^#' "$source/tests/install/files.txt" | sort) \
             <(cd "$prefix" && find . -type f -printf '%P\n' | sort); then
    fail "installed files differ from files.txt (- expected, + installed)"
fi

for png in "$prefix"/share/icons/hicolor/*x*/apps/quorlin.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")
    kind=$(file -b "$png")
    [[ $kind == "PNG image data, ${size/x/ x },"* ]] || fail "$png is not a $size PNG: $kind"
done

for gz in "$prefix"/share/man/man1/quorlin.1.gz "$prefix"/share/doc/quorlin/changelog.gz; do
    gzip -t "$gz" || fail "$gz is no gzip file"
done

# The lookup the program does: <exe dir>/../share/quorlin/Quorlin.hlp.
help=$(dirname "$prefix/bin/quorlin")/../share/quorlin/Quorlin.hlp
cmp -s "$help" "$source/app/Quorlin.hlp" || fail "no help file at $help"
# Its pictures beside it, where the help viewer looks for them.
cmp -s "$(dirname "$help")/sheet-page.png" "$source/app/sheet-page.png" ||
    fail "no picture of the printed page beside $help"

"$prefix/bin/quorlin" --export-midi "$source/tests/files/data/example.tab" "$root/example.mid" ||
    fail "the installed program could not export"
[ -s "$root/example.mid" ] || fail "the installed program wrote no MIDI file"

# Sound comes from <exe dir>/../lib/quorlin/modules/quorlin-sound.so; without it only sound is lost.
tab=$source/tests/files/data/example.tab
"$prefix/bin/quorlin" --export-wav "$tab" "$root/example.wav" ||
    fail "the installed program could not export WAV"
[ -s "$root/example.wav" ] || fail "the installed program wrote no WAV file"
rm "$prefix/lib/quorlin/modules/quorlin-sound.so"
if "$prefix/bin/quorlin" --export-wav "$tab" "$root/lost.wav" 2>"$root/lost.err"; then
    fail "a WAV file was written without the sound module"
fi
grep -q 'sound is not available: .*quorlin-sound.so' "$root/lost.err" ||
    fail "no word of the missing sound module: $(cat "$root/lost.err")"
[ ! -e "$root/lost.wav" ] || fail "a WAV file was left without the sound module"
"$prefix/bin/quorlin" --export-midi "$tab" "$root/lost.mid" && [ -s "$root/lost.mid" ] ||
    fail "MIDI export failed without the sound module"

exit $failed
