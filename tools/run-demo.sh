#!/usr/bin/env bash
# Shows Quilmer end to end on this machine: installs what is missing, builds
# everything, starts a local server that plays the Internet (on 127.0.0.1 only),
# and runs Quilmer.exe under Wine: the connectivity check, the download with its
# progress bar, the trust check and the start of the downloaded setup (a
# stand-in that only leaves a marker file, signed by the build's development
# signer, whose test CA the demo's Wine prefix trusts), the end. Then it says
# what happened.
#
#   tools/run-demo.sh
#
# With a DISPLAY the window appears on it; without one the run goes to a private
# Xvfb display and a screenshot taken during the download is written to the build
# folder. QUILMER_BUILD_DIR chooses the build folder (default: build-demo/ in the
# source tree); QUILMER_DEMO_SECONDS how long the transfer takes (default 4).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILMER_BUILD_DIR:-$src/build-demo}
seconds=${QUILMER_DEMO_SECONDS:-4}

bash "$src/tools/install-deps.sh"

echo "== Building in $build"
cmake -S "$src" -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target Quilmer standin-signed trust-root >/dev/null
wine_run="$build/harness/wine-run"
# Signed with osslsigncode by the build (tools/standin-setup): Quilmer starts
# nothing else.
standin="$build/tools/standin-setup/standin-signed.exe"

echo "== Preparing Wine (first time: about a minute); trusting the development CA $build/signing/ca.pem"
"$wine_run" --up >/dev/null
export WINEPREFIX="$build/wineprefix"
temp="$WINEPREFIX/drive_c/users/$(whoami)/Temp"
mkdir -p "$temp"
# A setup file of the served size left by an earlier run would be reused at
# once; the demo shows the download.
rm -f "$temp/Tavo_Real_Setup.exe" "$temp/Tavo_Real_Setup.exe.ran"

work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
  # Wine's services and the private display end with the demo.
  "$wine_run" --down >/dev/null 2>&1 || true
}
trap cleanup EXIT

python3 "$src/tools/demo/demo_server.py" --setup "$standin" --port-file "$work/port" \
  --seconds "$seconds" --body-out "$work/served.bin" --log "$work/requests.log" \
  </dev/null >"$work/server.out" 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "the demo server did not start:" >&2; cat "$work/server.out" >&2; exit 1; }
export http_proxy="http://127.0.0.1:$(cat "$work/port")"
echo "== The Internet is a local server: http_proxy=$http_proxy"

shot=
shooter=
if [ -n "${DISPLAY:-}" ]; then
  # The user's own screen, not the harness's private one.
  export QUILMER_USE_OWN_DISPLAY=1
  echo "== Running Quilmer.exe on $DISPLAY"
else
  shot="$build/demo-screenshot.png"
  rm -f "$shot"
  xdisplay=":$(cat "$build/harness/xdisplay")"
  echo "== No DISPLAY: running Quilmer.exe on a private display ($xdisplay); screenshot to $shot"
  ( sleep $(( seconds > 3 ? 3 : 2 )); import -display "$xdisplay" -window root "$shot" >/dev/null 2>&1 ) &
  shooter=$!
fi

started=$(date +%s.%N)
set +e
timeout 300 "$wine_run" "$build/Quilmer.exe"
rc=$?
set -e
[ -n "$shooter" ] && { wait "$shooter" 2>/dev/null || true; }
elapsed=$(python3 -c "import time; print('%.1f' % (time.time() - $started))")

echo
echo "== What happened (Quilmer.exe ended with $rc after $elapsed s)"
if [ -f "$temp/Tavo_Real_Setup.exe" ]; then
  size=$(stat -c %s "$temp/Tavo_Real_Setup.exe")
  if cmp -s "$temp/Tavo_Real_Setup.exe" "$work/served.bin"; then same="identical to the served file"; else same="DIFFERENT from the served file"; fi
  echo "Downloaded:  C:\\users\\$(whoami)\\Temp\\Tavo_Real_Setup.exe, $size bytes, $same"
else
  echo "Downloaded:  nothing (no Tavo_Real_Setup.exe in $temp)"
fi
marker="$temp/Tavo_Real_Setup.exe.ran"
for _ in $(seq 50); do [ -s "$marker" ] && break; sleep 0.1; done
if [ -s "$marker" ]; then
  echo "Setup started: the stand-in left its marker ($marker):"
  sed 's/\r$//; s/^/    /' "$marker"
else
  echo "Setup started: no (no marker at $marker)"
fi
echo "Requests the server saw:"
grep -E '^(GET|HEAD) ' "$work/requests.log" | sed 's/^/    /' || echo "    none"
[ -n "$shot" ] && [ -f "$shot" ] && echo "Screenshot:  $shot"
exit $rc
