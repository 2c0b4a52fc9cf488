#!/usr/bin/env bash
# Download benchmark: one local test server, one run, one file fetched four ways,
# several rounds each, rounds interleaved (a b c d, a b c d, ...) so that a
# change in the machine's load falls on every way alike:
#   a  the downloader itself (bench/DownloadBench.cpp, mode a)
#   b  its platform floor: the same WinINet calls, 1 KB reads, two sent
#      messages per chunk to windows on another thread, nothing else
#   c  the same calls with 64 KB reads and no messages
#   d  curl, through the same proxy
# Prints MB/s of each (median of the rounds; MB = 2^20 bytes), the ratios a/b
# and a/d, and the downloader's CPU seconds per 100 MB. On a shared machine the
# rounds scatter with the load of others (printed before and after): the best
# round of each way, the one least disturbed, and the CPU figures, which do not
# count time spent waiting for a core, are printed beside the medians. A script
# that prints figures, not a test: nothing is judged.
#
#   bench/run.sh [--size MB] [--rounds N]     (defaults: 16 MB, 3 rounds)
#
# Build folder: $QUILMER_BUILD_DIR, else build-bench beside the sources; it is
# configured when it has no cache yet, and only the DownloadBench target is
# built. Its Wine prefix and display are started, and stopped at the end.
# The server listens on 127.0.0.1 only; nothing else is reached.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILMER_BUILD_DIR:-$src/build-bench}
size_mb=16
rounds=3
while [ $# -gt 0 ]; do
  case "$1" in
    --size) size_mb=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    *) echo "usage: $0 [--size MB] [--rounds N]" >&2; exit 2 ;;
  esac
done
case "$size_mb$rounds" in *[!0-9]*) echo "--size and --rounds take whole numbers" >&2; exit 2 ;; esac
[ "$size_mb" -gt 0 ] && [ "$rounds" -gt 0 ] || { echo "--size and --rounds must be above 0" >&2; exit 2; }

command -v curl >/dev/null || bash "$src/tools/install-deps.sh"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$src" -B "$build" >/dev/null
cmake --build "$build" -j2 --target DownloadBench >/dev/null
wine_run="$build/harness/wine-run"
bench_exe="$build/bench/DownloadBench.exe"

work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  "$wine_run" --down >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
"$wine_run" --up >/dev/null

# Random bytes: nothing on the way can shortcut them, and a wrong byte shows.
head -c $((size_mb * 1024 * 1024)) /dev/urandom >"$work/payload.bin"
host=bench.quilmer.test
object=/bench/payload.bin
python3 "$src/tests/server/server.py" --port-file "$work/port" \
  --serve "$host$object=$work/payload.bin" </dev/null >"$work/server.out" 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || { echo "the test server did not start:" >&2; cat "$work/server.out" >&2; exit 1; }
export http_proxy="http://127.0.0.1:$(cat "$work/port")"
url="http://$host$object"
# The downloader's file, as Wine sees the Linux path (drive Z: is /).
a_file="$work/a.bin"
a_path="Z:${a_file//\//\\}"

echo "Fetching $size_mb MB from the local test server, $rounds rounds of each way (a and b run at about 1 MB/s)..." >&2
results="$work/results.txt"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for round in $(seq "$rounds"); do
  for mode in a b c; do
    args=("$mode" "$url")
    [ "$mode" = a ] && args+=("$a_path")
    if ! line=$("$wine_run" "$bench_exe" "${args[@]}" | tr -d '\r'); then
      echo "round $round, way $mode failed" >&2; exit 1
    fi
    echo "$line" >>"$results"
    if [ "$mode" = a ]; then
      cmp -s "$work/payload.bin" "$a_file" || { echo "round $round: the downloader's file differs from the served one" >&2; exit 1; }
      rm -f "$a_file"
    fi
  done
  curl -sS --fail --proxy "$http_proxy" -o "$work/d.bin" \
    -w "BENCH mode=d bytes=%{size_download} seconds=%{time_total}\n" "$url" >>"$results"
  cmp -s "$work/payload.bin" "$work/d.bin" || { echo "round $round: curl's file differs" >&2; exit 1; }
  rm -f "$work/d.bin"
  echo "  round $round of $rounds done" >&2
done

load_after=$(cut -d' ' -f1-3 /proc/loadavg)
width=$(sed -n 's/.*mode=a width=\([0-9]*\).*/\1/p' "$results" | head -n 1)
loader=$(sed -n "s/^export WINELOADER='\(.*\)'$/\1/p" "$wine_run")
python3 - "$results" "$size_mb" "$rounds" "$width" "$("${loader:-wine}" --version 2>/dev/null || true)" \
  "$load_before" "$load_after" "$(nproc)" <<'PY'
import statistics, sys

path, size_mb, rounds, width, wine, load_before, load_after, cores = sys.argv[1:9]
runs = {}
for line in open(path):
    fields = line.split()
    if not fields or fields[0] != "BENCH":
        continue
    kv = dict(f.split("=", 1) for f in fields[1:])
    runs.setdefault(kv["mode"], []).append(kv)

MB = 1024.0 * 1024.0
names = {
    "a": "downloader: worker, file, 2 sent messages per 1 KB",
    "b": "floor: same WinINet calls, 1 KB reads, 2 SendMessageW",
    "c": "same calls, 64 KB reads, no messages",
    "d": "curl, same proxy",
}
speed = {}
print("Download benchmark: %s MB file, local test server on 127.0.0.1 (proxy), %s rounds each, median; MB = 2^20 bytes"
      % (size_mb, rounds))
print("Windows ways: %s-bit programs under %s" % (width, wine or "Wine"))
print("Load average before %s, after %s, on %s cores" % (load_before, load_after, cores))
print("%-3s %-54s %9s %9s   %s" % ("", "way", "MB/s", "best", "rounds (MB/s)"))
best = {}
for mode in "abcd":
    rates = [int(r["bytes"]) / float(r["seconds"]) / MB for r in runs[mode]]
    speed[mode] = statistics.median(rates)
    best[mode] = max(rates)
    print("%-3s %-54s %9.2f %9.2f   %s" % (mode, names[mode], speed[mode], best[mode],
                                         " ".join("%.2f" % v for v in rates)))
print("a/b = %.3f   (best rounds: %.3f)" % (speed["a"] / speed["b"], best["a"] / best["b"]))
print("a/d = %.5f (best rounds: %.5f)" % (speed["a"] / speed["d"], best["a"] / best["d"]))

def per_100mb(mode, key):
    return statistics.median(float(r[key]) / int(r["bytes"]) * 100 * MB for r in runs[mode])

print("downloader CPU: %.2f s per 100 MB (worker thread; receiving windows' thread %.2f s; whole process %.2f s;"
      " wineserver not counted)" % (per_100mb("a", "cpu"), per_100mb("a", "receiver_cpu"), per_100mb("a", "process_cpu")))
print("floor (b) CPU:  %.2f s per 100 MB (reading thread; receiving windows' thread %.2f s)"
      % (per_100mb("b", "cpu"), per_100mb("b", "receiver_cpu")))
PY
