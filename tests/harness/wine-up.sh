#!/usr/bin/env bash
# Prepares the build's Wine prefix and a private X display for the tests.
# Safe to run again: an existing prefix or a live display is kept.
set -u
build=$1
h="$build/harness"; mkdir -p "$h"
# WINEPREFIX, WINEARCH and WINELOADER come from wine-run.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A Linux path as Windows programs of the prefix name it (Z: is the root).
winepath_of() { echo "Z:$(realpath "$1" | tr / '\\')"; }

# A display of our own: tests never touch the user's screen.
if ! { [ -s "$h/xvfb.pid" ] && kill -0 "$(cat "$h/xvfb.pid")" 2>/dev/null; }; then
  rm -f "$h/xdisplay"
  ( exec 3>"$h/xdisplay"; exec Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 ) &
  echo $! >"$h/xvfb.pid"
  for _ in $(seq 100); do [ -s "$h/xdisplay" ] && break; sleep 0.1; done
fi
[ -s "$h/xdisplay" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$h/xdisplay")"

wineserver -p </dev/null >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/.quilmer-ready" ]; then
  "$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
  "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
  "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  touch "$WINEPREFIX/.quilmer-ready"
fi

# The development test CA (build/signing/ca.der) is a trusted root of the
# prefix: setups signed by the development signer verify, and a local HTTPS
# test server with a certificate from the same CA is trusted. The marker holds
# the CA's hash, so a CA made anew is trusted again (and the off-line copy
# below is made again with it).
ca="$build/signing/ca.der"
trust_root="$build/tools/trust-root/trust-root.exe"
ca_mark=none
if [ -s "$ca" ]; then
  ca_mark=$(sha256sum "$ca" | cut -d' ' -f1)
  if [ "$(cat "$WINEPREFIX/.quilmer-ca" 2>/dev/null)" != "$ca_mark" ]; then
    [ -f "$trust_root" ] || { echo "missing $trust_root: build first" >&2; exit 1; }
    "$WINELOADER" "$trust_root" "$(winepath_of "$ca")" </dev/null >/dev/null || { echo "cannot trust $ca" >&2; exit 1; }
    echo "$ca_mark" >"$WINEPREFIX/.quilmer-ca"
  fi
fi

# Off-line tests run inside a network namespace with a wineserver of their own
# (Wine makes its sockets in the wineserver), so they get a copy of the prefix.
# The wineserver keeps the registry in memory and writes it out when it stops:
# stop it before copying, or the copy lacks most of the registry.
offline="$build/wineprefix-offline"
if [ ! -f "$offline/.quilmer-ready" ] || [ "$(cat "$offline/.quilmer-ca" 2>/dev/null || echo none)" != "$ca_mark" ]; then
  wineserver -k </dev/null >/dev/null 2>&1
  wineserver -w </dev/null >/dev/null 2>&1
  rm -rf "$offline" "$offline.tmp"
  cp -a "$WINEPREFIX" "$offline.tmp" && mv "$offline.tmp" "$offline" || exit 1
  wineserver -p </dev/null >/dev/null 2>&1
fi

# Wine's background services (services.exe and the rest) start with the first
# program and keep its standard handles. Started here, they hold /dev/null; left
# to the first test, they would hold its pipes and ctest would wait for them.
"$WINELOADER" wineboot </dev/null >/dev/null 2>&1
echo "wine prefix $WINEPREFIX ready, display $DISPLAY"
