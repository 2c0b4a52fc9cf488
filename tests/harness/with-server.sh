#!/usr/bin/env bash
# Runs a test program with the local test server standing in for the Internet.
#   with-server.sh [--offline] <command...>
# The server listens on 127.0.0.1 only; http_proxy points WinINet at it, so every
# host name of the program reaches it. --offline runs everything inside a new
# network namespace that has loopback alone, where Wine reports "not connected".
set -u
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)

if [ "${1:-}" = --offline ]; then
  shift
  exec unshare -n bash "$0" --inside-namespace "$@"
fi
offline_prefix=
if [ "${1:-}" = --inside-namespace ]; then
  shift
  ip link set lo up || exit 1
  # Wine makes its sockets in the wineserver, and the build's wineserver runs
  # outside this namespace. The off-line run therefore uses the prefix's copy
  # that wine-up.sh made, whose wineserver starts in here and is stopped before
  # the namespace goes. OFFLINE tests hold a resource lock, so only one of them
  # uses that prefix at a time.
  if [ -n "${QUILMER_BUILD_DIR:-}" ]; then
    offline_prefix="${QUILMER_WINEPREFIX_OFFLINE:-$QUILMER_BUILD_DIR/wineprefix-offline}"
    if [ ! -f "$offline_prefix/.quilmer-ready" ]; then
      echo "with-server.sh: $offline_prefix is missing; run the wine_up test first" >&2
      exit 1
    fi
    export QUILMER_WINEPREFIX="$offline_prefix"
  fi
fi

work=$(mktemp -d)
python3 "$src/tests/server/server.py" --port-file "$work/port" --log "$work/requests.log" \
  </dev/null >"$work/server.out" 2>&1 &
server=$!
stop_offline_wine() {
  [ -n "$offline_prefix" ] && WINEPREFIX="$offline_prefix" wineserver -k </dev/null >/dev/null 2>&1
  [ -n "$offline_prefix" ] && WINEPREFIX="$offline_prefix" wineserver -w </dev/null >/dev/null 2>&1
}
trap 'stop_offline_wine; kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
if [ ! -s "$work/port" ]; then
  echo "test server did not start:" >&2; cat "$work/server.out" >&2; exit 1
fi
port=$(cat "$work/port")
export http_proxy="http://127.0.0.1:$port" QUILMER_TEST_SERVER="127.0.0.1:$port"
# Windows programs reach the server's control page through the same proxy.
export QUILMER_TEST_WORKDIR="$work"
"$@"
rc=$?
if [ $rc -ne 0 ] && [ -s "$work/server.out" ]; then
  echo "--- test server output ---" >&2; tail -n 50 "$work/server.out" >&2
fi
exit $rc
