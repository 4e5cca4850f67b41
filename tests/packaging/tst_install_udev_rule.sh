#!/usr/bin/env bash
# scripts/install-udev-rule (run by scripts/setup): where udev runs it leaves the rule in the rules
# folder and has udev reload and apply it, once; without udev it does nothing.
#   tst_install_udev_rule.sh SOURCE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
src=$1
script=$src/scripts/install-udev-rule
rule=$src/udev/70-tessaravolt.rules

mkdir "$scratch/bin" "$scratch/run"
printf '#!/bin/sh\necho "$*" >>"%s/udevadm.calls"\n' "$scratch" >"$scratch/bin/udevadm"
printf '#!/bin/sh\nexec "$@"\n' >"$scratch/bin/sudo" # a normal user's run goes through sudo
chmod +x "$scratch/bin/udevadm" "$scratch/bin/sudo"
rules=$scratch/etc/udev/rules.d
export UDEV_RULES_DIR=$rules UDEV_CONTROL=$scratch/run/control
calls() { cat "$scratch/udevadm.calls" 2>/dev/null || true; }

# A container: udevadm installed, but no udev daemon (no control socket).
PATH=$scratch/bin:$PATH "$script" >/dev/null || fail "failed without a udev daemon"
[ -e "$rules/70-tessaravolt.rules" ] && fail "installed without a udev daemon"
[ -z "$(calls)" ] || fail "udevadm called without a udev daemon: $(calls)"

# No udevadm at all (only checkable where the machine has none of its own).
if ! command -v udevadm >/dev/null 2>&1; then
  : >"$UDEV_CONTROL"
  "$script" >/dev/null || fail "failed without udevadm"
  [ -e "$rules/70-tessaravolt.rules" ] && fail "installed without udevadm"
  rm "$UDEV_CONTROL"
fi

# udev runs: the rule in place as shipped, reloaded and applied to what is plugged in.
: >"$UDEV_CONTROL"
PATH=$scratch/bin:$PATH "$script" >"$scratch/out" || fail "failed with udev running"
cmp "$rule" "$rules/70-tessaravolt.rules" || fail "the installed rule differs"
[ "$(stat -c %a "$rules/70-tessaravolt.rules")" = 644 ] || fail "the rule is not 644"
expected=$'control --reload-rules\ntrigger --subsystem-match=hidraw --action=change'
[ "$(calls)" = "$expected" ] || fail "udevadm calls: $(calls)"
grep -qF "$rules/70-tessaravolt.rules" "$scratch/out" || fail "no word of the installation: $(cat "$scratch/out")"

# Again: already in place, nothing done.
PATH=$scratch/bin:$PATH "$script" >"$scratch/out" || fail "failed the second time"
[ "$(calls)" = "$expected" ] || fail "udevadm called again: $(calls)"
[ -s "$scratch/out" ] && fail "spoke the second time: $(cat "$scratch/out")"

# An older rule is replaced.
echo '# old' >"$rules/70-tessaravolt.rules"
PATH=$scratch/bin:$PATH "$script" >/dev/null || fail "failed over an old rule"
cmp "$rule" "$rules/70-tessaravolt.rules" || fail "the old rule stayed"
echo "PASS"
