#!/usr/bin/env bash
# Builds Quilmer and runs its whole test suite under Wine (installs what is missing first).
#   tools/run-tests.sh [--win32] [--win32-guest] [ctest arguments...]
#
# The product is 32-bit, so every run ends with the line
#   32-bit lane: N passed, N failed
# that says what ran as 32-bit programs. Where this machine runs 32-bit Wine, the
# suite itself is built and run 32-bit and that line counts it. Where it cannot,
# the suite runs 64-bit here, and the 32-bit build of the whole suite (the shipped
# Quilmer.exe end to end included) runs in an emulated Linux guest that can
# (tools/win32-vm/; its image is built once into <build>-i686/win32-vm/).
#   --win32-guest  use the guest even where this machine could run 32-bit Wine
#   --win32        run the 32-bit lane only (with --win32-guest: the guest alone)
# ctest arguments (say -R thread) apply to both lanes.
# QUILMER_BUILD_DIR chooses the build folder (default: build/ in the source tree);
# the 32-bit product and the guest's builds go to the same name with -i686.
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILMER_BUILD_DIR:-$src/build}
build32="$build-i686"
jobs=$(nproc)

guest=auto only32=
ctest_args=()
for arg in "$@"; do
  case "$arg" in
    --win32-guest) guest=yes ;;
    --win32) only32=1 ;;
    *) ctest_args+=("$arg") ;;
  esac
done
ctest_run=(ctest -j2 --output-on-failure --timeout 600 --output-junit junit.xml)

bash "$src/tools/install-deps.sh"
failed=0

# The suite on this machine, built for the Wine it can run (32-bit where the kernel allows).
native_arch=
if [ "$guest" != yes ] || [ -z "$only32" ]; then
  cmake -S "$src" -B "$build" -DQUILMER_WERROR=ON >/dev/null
  native_arch=$(sed -n 's/^QUILMER_ARCH:[A-Z]*=//p' "$build/CMakeCache.txt")
  if [ "$guest" = auto ]; then
    if [ "$native_arch" = i686 ]; then guest=no; else guest=yes; fi
  fi
fi

# The product itself: the 32-bit executable, warnings as errors. For the guest the
# same folder also builds the 32-bit tests, so they test this very Quilmer.exe.
if [ "$guest" = yes ]; then
  # Wine work in the guest takes about ten times as long as on a machine of its own.
  cmake -S "$src" -B "$build32" -DQUILMER_ARCH=i686 -DBUILD_TESTING=ON -DQUILMER_WERROR=ON \
        -DQUILMER_TEST_TIME_SCALE=${QUILMER_GUEST_TIME_SCALE:-10} >/dev/null
  cmake --build "$build32" -j"$jobs"
else
  cmake -S "$src" -B "$build32" -DQUILMER_ARCH=i686 -DBUILD_TESTING=OFF -DQUILMER_WERROR=ON \
        -DQUILMER_TEST_TIME_SCALE=1 >/dev/null
  cmake --build "$build32" -j"$jobs" --target Quilmer
fi
echo "release Quilmer.exe: $(stat -c %s "$build32/Quilmer.exe") bytes (bench/size-and-speed.sh prints its sections)"

if [ -n "$native_arch" ] && { [ -z "$only32" ] || [ "$guest" = no ]; }; then
  cmake --build "$build" -j"$jobs"
  rm -f "$build/junit.xml"
  (cd "$build" && "${ctest_run[@]}" "${ctest_args[@]}") || failed=1
  if [ "$native_arch" = i686 ]; then
    python3 "$src/tools/ctest-summary.py" "32-bit lane" "$build/junit.xml" || failed=1
  fi
fi

if [ "$guest" = yes ]; then
  bash "$src/tools/install-deps.sh" --win32-guest
  echo "== 32-bit lane: the 32-bit build in the emulated guest"
  image_start=$SECONDS
  bash "$src/tools/win32-vm/build-image.sh" "$build32/win32-vm"
  echo "win32 guest: image ready after $(( SECONDS - image_start )) s"
  rm -f "$build32/junit.xml" "$build32/junit-host.xml"
  shares=(--share "$src")
  case "$build32/" in "$src"/*) ;; *) shares+=(--share "$build32") ;; esac
  (cd "$build32" && bash "$src/tools/win32-vm/run.sh" --image "$build32/win32-vm" "${shares[@]}" \
     --wine-prefix --timeout 5400 -- "${ctest_run[@]}" -LE host "${ctest_args[@]}") || failed=1
  # The checks that read the 32-bit executable with the host's binutils.
  (cd "$build32" && ctest --output-on-failure --output-junit junit-host.xml -L host "${ctest_args[@]}") || failed=1
  python3 "$src/tools/ctest-summary.py" "32-bit lane" "$build32/junit.xml" "$build32/junit-host.xml" || failed=1
fi
exit $failed
