#!/usr/bin/env bash
# The desktop entry and the AppStream metadata as built: valid, and naming one another, the icon,
# the program and the release being built.
set -u
dir=$1
version=$2
. "$(dirname "$0")/common.sh"
desktop="$dir/com.tavrin.Tessaravolt.desktop"
metainfo="$dir/com.tavrin.Tessaravolt.metainfo.xml"

desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $metainfo"

key() { grep "^$1=" "$desktop" | cut -d= -f2-; }
[ "$(key Exec)" = tessaravolt ] || fail "Exec is '$(key Exec)'"
[ "$(key Icon)" = com.tavrin.Tessaravolt ] || fail "Icon is '$(key Icon)', not the icon's installed name"
[ -n "$(key StartupWMClass)" ] || fail "no StartupWMClass"
grep -qF "<launchable type=\"desktop-id\">com.tavrin.Tessaravolt.desktop</launchable>" "$metainfo" ||
  fail "the metadata does not launch the desktop entry"
grep -qE "<screenshot type=\"default\">" "$metainfo" || fail "no default screenshot"
grep -qF "<release version=\"$version\" " "$metainfo" ||
  fail "the newest release in packaging/changelog is not the project's version $version"
for vendor in $(grep -o 'idVendor}=="[0-9a-f]*"' "$(dirname "$0")/../../udev/70-tessaravolt.rules" | cut -d'"' -f2); do
  grep -qF "<modalias>usb:v${vendor^^}p*</modalias>" "$metainfo" || fail "vendor $vendor of the udev rule not provided"
done
echo "metadata: all checks passed"
