#!/usr/bin/env bash
# Sets up a fresh machine, builds the native (Debug, AddressSanitizer and
# UndefinedBehaviorSanitizer) and the AArch64 (Release, run under qemu-user on a
# CPU without SVE) configurations, and runs the whole test suite in both.
#   tools/test.sh [build-root]        (default: ./build)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
root="${1:-$here/build}"
jobs="${SVE_JOBS:-$(nproc)}"

bash "$here/tools/setup.sh"

cmake -S "$here" -B "$root/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSVE_SANITIZE=ON >/dev/null
cmake -S "$here" -B "$root/aarch64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/aarch64-linux-gnu.cmake" >/dev/null

status=0
for cfg in native aarch64; do
  echo "== build $cfg"
  cmake --build "$root/$cfg" -j "$jobs"
done
for cfg in native aarch64; do
  echo "== test $cfg"
  (cd "$root/$cfg" && ctest -j "$jobs" --output-on-failure --timeout 1500) || status=1
done
exit $status
