#!/usr/bin/env bash
# Builds Quilmer and runs its whole test suite under Wine (installs what is missing first).
#   tools/run-tests.sh [ctest arguments...]
# QUILMER_BUILD_DIR chooses the build folder (default: build/ in the source tree).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILMER_BUILD_DIR:-$src/build}
jobs=$(nproc)

bash "$src/tools/install-deps.sh"

# The product itself: the 32-bit executable, warnings as errors.
cmake -S "$src" -B "$build-i686" -DQUILMER_ARCH=i686 -DBUILD_TESTING=OFF -DQUILMER_WERROR=ON >/dev/null
cmake --build "$build-i686" -j"$jobs" --target Quilmer
echo "release Quilmer.exe: $(stat -c %s "$build-i686/Quilmer.exe") bytes (bench/size-and-speed.sh prints its sections)"

# The tests, built for whatever Wine this machine can run (32-bit where the kernel allows).
cmake -S "$src" -B "$build" -DQUILMER_WERROR=ON >/dev/null
cmake --build "$build" -j"$jobs"
cd "$build"
ctest -j2 --output-on-failure --timeout 600 "$@"
