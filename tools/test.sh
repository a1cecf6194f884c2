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

# The DynamoRIO client and its tests are built where a DynamoRIO installation
# for AArch64 is given: $SVE_DYNAMORIO_DIR (its cmake folder), else the prebuilt
# one beside the repository (../shared/dynamorio-aarch64, as CI lays it out).
# Without one, its tests report "skipped: no DynamoRIO".
dr_dir="${SVE_DYNAMORIO_DIR:-$here/../shared/dynamorio-aarch64/cmake}"
dr_args=()
if [ -f "$dr_dir/DynamoRIOConfig.cmake" ]; then
  dr_args=(-DDynamoRIO_DIR="$(cd "$dr_dir" && pwd)")
  echo "== DynamoRIO: $(cd "$dr_dir/.." && pwd)"
fi

cmake -S "$here" -B "$root/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSVE_SANITIZE=ON >/dev/null
cmake -S "$here" -B "$root/aarch64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/aarch64-linux-gnu.cmake" ${dr_args[@]+"${dr_args[@]}"} >/dev/null

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
