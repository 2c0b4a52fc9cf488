#!/usr/bin/env bash
# Size and speed of the installer, for each width this machine can run:
#   * the release executable's size and the bytes of each section (a release
#     build: -DBUILD_TESTING=OFF, as the README builds one);
#   * bench/installer.py against a build of that width with the end-to-end
#     driver: start-up against a bare dialog, peak working sets, and the whole
#     installer end to end against the floor of its design.
# A script that prints figures, not a test: nothing is judged. Timings scatter
# with the machine's load, which installer.py prints before and after.
#
#   bench/size-and-speed.sh [--width i686|x86_64]... [installer.py options]
#     (defaults: both widths; --starts 20 --rounds 3 --megabytes 16)
#
# Build folders beside the sources: build-release-<width> and build-bench-<width>,
# configured when they have no cache yet. Each bench folder's Wine prefix and
# display are started, and stopped at the end. Only 127.0.0.1 is reached.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
widths=()
options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --width) widths+=("$2"); shift 2 ;;
    --starts|--rounds|--megabytes) options+=("$1" "$2"); shift 2 ;;
    *) echo "usage: $0 [--width i686|x86_64]... [--starts N] [--rounds N] [--megabytes M]" >&2; exit 2 ;;
  esac
done
[ ${#widths[@]} -gt 0 ] || widths=(i686 x86_64)

wine_for() {
  case "$1" in
    i686) echo /usr/lib/wine/wine ;;
    x86_64) echo /usr/lib/wine/wine64 ;;
    *) echo "unknown width $1" >&2; exit 2 ;;
  esac
}

running=
cleanup() {
  [ -n "$running" ] && "$running/harness/wine-run" --down >/dev/null 2>&1 || true
}
trap cleanup EXIT

for width in "${widths[@]}"; do
  release="$src/build-release-$width"
  bench="$src/build-bench-$width"
  echo "== $width"
  [ -f "$release/CMakeCache.txt" ] ||
    cmake -S "$src" -B "$release" -DQUILMER_ARCH="$width" -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$release" -j2 --target Quilmer >/dev/null
  python3 "$src/bench/pe_sections.py" "$release/Quilmer.exe"

  if ! "$(wine_for "$width")" --version >/dev/null 2>&1; then
    echo "($width Wine does not run on this machine: no timings)"
    continue
  fi
  [ -f "$bench/CMakeCache.txt" ] || cmake -S "$src" -B "$bench" -DQUILMER_ARCH="$width" >/dev/null
  cmake --build "$bench" -j2 --target Quilmer e2e_driver e2e_unchecked_launcher standin-setup standin-signed trust-root \
    BareDialog DownloadBench PartsBench >/dev/null
  "$bench/harness/wine-run" --up >/dev/null
  running=$bench
  python3 "$src/bench/installer.py" --build "$bench" ${options[@]+"${options[@]}"}
  "$bench/harness/wine-run" --down >/dev/null 2>&1 || true
  running=
done
