#!/usr/bin/env bash
# Inside an X server: starts the program at $1, prints the WM_CLASS of its windows, ends it.
"$1" & pid=$!
for _ in $(seq 100); do
  classes=$(for id in $(xwininfo -root -children | awk '/^ +0x/ {print $1}'); do
    xprop -id "$id" WM_CLASS 2>/dev/null | grep '^WM_CLASS(STRING)'
  done)
  [ -n "$classes" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
kill $pid 2>/dev/null; wait $pid 2>/dev/null
echo "$classes"
