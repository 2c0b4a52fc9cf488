#!/usr/bin/env bash
# Download throughput: one local test server, one 16 MB file, fetched four ways
# (see DownloadBench.cpp for a, b and c; d is curl through the same proxy).
# Prints MB/s of each (median of the rounds), the ratios a/b and a/d, and the
# downloader's CPU seconds per 100 MB. A script, not a test: nothing is judged.
#
#   bench/net/download-bench.sh [build folder] [rounds]
# The build folder (default: build-bench) is configured and built when needed.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$src/build-bench}
rounds=${2:-3}
size=$((16 * 1024 * 1024))

command -v curl >/dev/null || { echo "curl is missing: tools/install-deps.sh installs it" >&2; exit 1; }
[ -f "$build/CMakeCache.txt" ] || cmake -S "$src" -B "$build" >/dev/null
cmake --build "$build" -j2 --target download_bench >/dev/null
"$build/harness/wine-run" --up >/dev/null

work=$(mktemp -d)
python3 "$src/tests/server/server.py" --port-file "$work/port" </dev/null >"$work/server.out" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")
export http_proxy="http://127.0.0.1:$port"
url="http://bench.quenlor.example/t/ok/$size/bench.bin"

echo "16 MB through the local test server, $rounds rounds each (this takes a minute or two)"
"$build/harness/wine-run" "$build/bench/net/download_bench.exe" "$url" "$rounds" | tr -d '\r' >"$work/wine.txt"
for _ in $(seq "$rounds"); do
  curl -s -o /dev/null -x "$http_proxy" -w "d %{size_download} %{time_total} 0\n" "$url" >>"$work/wine.txt"
done

python3 - "$work/wine.txt" <<'PY'
import statistics, sys
rows = {}
for line in open(sys.argv[1]):
    mode, nbytes, seconds, cpu = line.split()
    rows.setdefault(mode, []).append((int(nbytes), float(seconds), float(cpu)))
names = {
    "a": "downloader (worker, 1 KB reads, file, 2 sent messages per chunk)",
    "b": "floor: same WinINet calls, 1 KB reads, 2 SendMessageW per chunk",
    "c": "same calls, 64 KB reads, no messages",
    "d": "curl",
}
mbps = {}
for mode in "abcd":
    speeds = [n / s / 1e6 for n, s, _ in rows[mode]]
    mbps[mode] = statistics.median(speeds)
    print("%s  %8.2f MB/s   %s   rounds: %s" % (mode, mbps[mode], names[mode],
          " ".join("%.2f" % v for v in speeds)))
print("a/b = %.3f   a/d = %.5f" % (mbps["a"] / mbps["b"], mbps["a"] / mbps["d"]))
cpu = sum(c for _, _, c in rows["a"]) / sum(n for n, _, _ in rows["a"]) * 100e6
print("downloader CPU: %.2f s per 100 MB (this process only; wineserver not counted)" % cpu)
PY
