#!/usr/bin/env bash
# Stops what wine-up.sh started; the prefix itself is kept for the next run.
set -u
build=$1
h="$build/harness"
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
if [ -s "$h/xvfb.pid" ]; then
  kill "$(cat "$h/xvfb.pid")" 2>/dev/null
  rm -f "$h/xvfb.pid" "$h/xdisplay"
fi
exit 0
