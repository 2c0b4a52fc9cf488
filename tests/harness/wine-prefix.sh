#!/usr/bin/env bash
# Creates the Wine prefix the tests run in, once: Wine's own set-up, windows
# without a window manager that close at once (Managed=N), and crashes that end
# the process instead of opening Wine's debugger dialog.
# WINEPREFIX, WINEARCH and WINELOADER come from the caller.
set -u
[ -f "$WINEPREFIX/.quilmer-ready" ] && exit 0
"$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
"$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1
"$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
touch "$WINEPREFIX/.quilmer-ready"
