#!/usr/bin/env bash
# Builds the Debian package from the build into a folder of its own, checks its contents
# against files.txt, its dependencies against a table, and runs lintian on it.
# Usage: check-package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 source=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" || {
    cat "$out/cpack.log"
    exit 1
}
deb=$(echo "$out"/quorlin_*.deb)
failed=0
fail() { echo "check-package: $*"; failed=1; }

if ! diff -u <(grep -v '^#' "$source/tests/install/files.txt" | sed 's|^|usr/|' | sort) \
             <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | sort); then
    fail "packaged files differ from files.txt (- expected, + packaged)"
fi

# What the program loads or reads at run time, each by its Debian package.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for needed in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libfluidsynth3 \
              libsndfile1 libpugixml1v5 fluid-soundfont-gm; do
    grep -Fxq "$needed" <<<"$names" || fail "Depends lacks $needed: $depends"
done

lintian --fail-on error,warning "$deb" || fail "lintian"

exit $failed
