#!/usr/bin/env bash
# cmake --install into a temporary DESTDIR: every expected file with its mode, valid metadata, and
# the installed program starting on its own.
set -u
build=$1
expected=$2
. "$(dirname "$0")/common.sh"
dest="$scratch/dest"

DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$scratch/install.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$scratch/install.log")"
diff -u <(expected_tree "$expected") <(list_tree "$dest/usr") || fail "installed files differ from $expected"
[ -z "$(ls -A "$dest" | grep -v '^usr$')" ] || fail "files installed outside the prefix: $(ls -A "$dest")"

program="$dest/usr/bin/tessaravolt"
readelf -d "$program" | grep -qE "RPATH|RUNPATH" && fail "the installed program carries a library search path"
desktop-file-validate "$dest/usr/share/applications/com.tavrin.Tessaravolt.desktop" ||
  fail "desktop-file-validate"
# The metadata as installed: its desktop entry and icon must be found beside it.
appstreamcli validate-tree --no-net "$dest/usr" >"$scratch/tree.log" 2>&1 ||
  fail "appstreamcli validate-tree: $(cat "$scratch/tree.log")"
for size in 48 64 128 256 512; do
  file "$dest/usr/share/icons/hicolor/${size}x$size/apps/com.tavrin.Tessaravolt.png" |
    grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || fail "the ${size} px icon is not a $size px RGBA PNG"
done
gzip -t "$dest/usr/share/man/man1/tessaravolt.1.gz" "$dest/usr/share/doc/tessaravolt/changelog.gz" ||
  fail "a compressed file is damaged"

run_installed_offscreen "$program"

# The window's X11 class must be the desktop entry's StartupWMClass, or the dock shows no icon.
if command -v xvfb-run >/dev/null && command -v xprop >/dev/null; then
  wm_class=$(grep '^StartupWMClass=' "$dest/usr/share/applications/com.tavrin.Tessaravolt.desktop" | cut -d= -f2)
  classes=$(TMPDIR="$scratch/run/tmp" XDG_RUNTIME_DIR="$scratch/run/runtime" XDG_CONFIG_HOME="$scratch/run/config" \
    QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a -s "-screen 0 1920x1440x24" \
    "$(dirname "$0")/window_classes.sh" "$program" 2>"$scratch/xcb.err")
  echo "$classes" | grep -qxF "WM_CLASS(STRING) = \"tessaravolt\", \"$wm_class\"" ||
    fail "window class '$classes' is not StartupWMClass $wm_class: $(cat "$scratch/xcb.err")"
fi
echo "install: all checks passed"
