# Shared by the packaging tests: failing, a scratch folder, and one offscreen run of an installed
# program.
fail() { echo "FAIL: $*"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Files under $1 (with their modes), relative to it, sorted.
list_tree() { (cd "$1" && find . ! -type d -printf '%m %P\n' | LC_ALL=C sort -k2); }

# The expected list with the modes the installed files must have: the program 755, the rest 644.
expected_tree() {
  LC_ALL=C sort "$1" | sed -e 's|^bin/|755 bin/|' -e '/^755 /!s|^|644 |'
}

# Starts the program at $1 offscreen, away from the build tree and with no import or plugin paths
# of ours, lets it load its window and ends it. Its QML module and fonts must come from inside it.
run_installed_offscreen() {
  local program=$1 run="$scratch/run"
  mkdir -p "$run/tmp" "$run/cwd" "$run/config" "$run/runtime" && chmod 700 "$run/runtime"
  env -C "$run/cwd" -u QML_IMPORT_PATH -u QML2_IMPORT_PATH -u QT_PLUGIN_PATH TMPDIR="$run/tmp" \
    XDG_RUNTIME_DIR="$run/runtime" XDG_CONFIG_HOME="$run/config" QT_QPA_PLATFORM=offscreen \
    QT_QUICK_BACKEND=software "$program" 2>"$run/err" & local pid=$!
  for _ in $(seq 300); do [ -e "$run/runtime/Tessaravolt.lock" ] && break; kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  sleep 2  # Main loads after the lock is taken; a failed load ends the program
  kill -0 $pid 2>/dev/null || { wait $pid; fail "$program ended by itself (exit $?): $(cat "$run/err")"; }
  kill -TERM $pid; wait $pid; local rc=$?
  [ $rc -eq 0 ] || fail "$program did not end cleanly on SIGTERM (exit $rc): $(cat "$run/err")"
  [ ! -e "$run/runtime/Tessaravolt.lock" ] || fail "$program left its lock file behind"
  # The program is silent when all is well: any QML, font or plugin warning fails.
  [ ! -s "$run/err" ] || fail "$program printed: $(cat "$run/err")"
  [ -z "$(ls -A "$run/cwd")" ] || fail "$program wrote into its working folder"
  return 0
}
