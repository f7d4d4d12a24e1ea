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
for needed in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libqt6core6 libqt6svg6 libfluidsynth3 \
              libsndfile1 libpugixml1v5 fluid-soundfont-gm fonts-liberation2 \
              libqt6printsupport6; do
    grep -Fxq "$needed" <<<"$names" || fail "Depends lacks $needed: $depends"
done

# Infos too: lintian names there what Debian's hardening would have added (immediate binding,
# fortified functions). It has no tag for the stack protector: a protected binary calls
# __stack_chk_fail.
report=$(lintian --display-info --fail-on error,warning "$deb") || fail "lintian"
printf '%s\n' "$report"
! grep -q 'hardening-' <<<"$report" || fail "binaries built without Debian's hardening"
dpkg-deb -x "$deb" "$out/root"
for binary in "$out"/root/usr/bin/quorlin "$out"/root/usr/lib/quorlin/modules/*.so; do
    symbols=$(readelf --dyn-syms -W "$binary")
    grep -q '__stack_chk_fail' <<<"$symbols" || fail "no stack protector in ${binary#"$out"/root/}"
done

exit $failed
