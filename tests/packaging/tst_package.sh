#!/usr/bin/env bash
# The Debian package made from this build: its files, its dependencies, its scripts, lintian.
set -u
build=$1
expected=$2
. "$(dirname "$0")/common.sh"

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$scratch/cpack.log")"
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}

# dpkg-deb -c: "mode owner/group size date time ./path"; files only, under /usr, owned by root.
dpkg-deb -c "$deb" >"$scratch/contents" || fail "dpkg-deb -c"
grep -v '^d' "$scratch/contents" | awk '{print $1, $2, $6}' >"$scratch/files"
awk '$2 != "root/root"' "$scratch/files" | grep . && fail "files not owned by root"
diff -u <(expected_tree "$expected" | awk '{print $2}') \
  <(awk '{print $3}' "$scratch/files" | sed 's|^\./usr/||' | LC_ALL=C sort) || fail "package files differ from $expected"
grep -E '^-rwxr-xr-x .* \./usr/bin/tessaravolt$' "$scratch/contents" >/dev/null || fail "the program is not 755"

control() { dpkg-deb -f "$deb" "$1"; }
[ "$(control Package)" = tessaravolt ] || fail "package name '$(control Package)'"
depends=$(control Depends)
# From the binary's links (shlibdeps) and the run-time QML modules and fonts named by hand.
for dep in libhidapi-hidraw0 libqt6quickcontrols2-6 libqt6network6 qml6-module-qtquick-controls \
  qml6-module-qtquick-dialogs qml6-module-qt-labs-folderlistmodel qml6-module-qtcore libqt6svg6 qt6-translations-l10n \
  "fonts-wqy-microhei | fonts-noto-cjk"; do
  echo "$depends" | grep -qF "$dep" || fail "Depends lacks $dep: $depends"
done

dpkg-deb -e "$deb" "$scratch/control"
for script in postinst postrm; do
  [ -x "$scratch/control/$script" ] || fail "no executable $script"
  sh -n "$scratch/control/$script" || fail "$script is not valid sh"
done
# The scripts reload the udev rules where udev runs, and never fail an install where it does not.
mkdir "$scratch/bin"
printf '#!/bin/sh\necho "$*" >>"%s/udevadm.calls"\nexit ${UDEVADM_RC:-0}\n' "$scratch" >"$scratch/bin/udevadm"
chmod +x "$scratch/bin/udevadm"
PATH="$scratch/bin:$PATH" sh "$scratch/control/postinst" configure || fail "postinst configure failed"
grep -qx "control --reload-rules" "$scratch/udevadm.calls" || fail "postinst did not reload the rules"
grep -q "^trigger .*--subsystem-match=hidraw" "$scratch/udevadm.calls" || fail "postinst did not trigger hidraw"
PATH="$scratch/bin:$PATH" sh "$scratch/control/postrm" remove || fail "postrm remove failed"
[ "$(grep -c "reload-rules" "$scratch/udevadm.calls")" -eq 2 ] || fail "postrm did not reload the rules"
UDEVADM_RC=1 PATH="$scratch/bin:$PATH" sh "$scratch/control/postinst" configure || fail "postinst fails when udevadm fails"
PATH=/nonexistent /bin/sh "$scratch/control/postinst" configure || fail "postinst fails without udevadm"

# The packaged (stripped) program starts on its own too.
dpkg-deb -x "$deb" "$scratch/root"
file -b "$scratch/root/usr/bin/tessaravolt" | grep -q ', stripped$' || fail "the packaged program is not stripped"
run_installed_offscreen "$scratch/root/usr/bin/tessaravolt"

lintian --fail-on error "$deb" 2>&1 | grep -v "running with root privileges" >"$scratch/lintian.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian found errors: $(cat "$scratch/lintian.log")"
cat "$scratch/lintian.log"
echo "package: all checks passed"
