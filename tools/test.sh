#!/usr/bin/env bash
# Sets up a fresh machine, builds the native (Debug, AddressSanitizer and
# UndefinedBehaviorSanitizer) and the AArch64 (Release, run under qemu-user on a
# CPU without SVE) configurations, and runs the whole test suite in both. The
# AArch64 suite runs on neoverse-n1 (Armv8.2, the common cloud core); the hosts,
# the examples and the stress test run again on cortex-a72 (Armv8.0, without the
# half-precision instructions).
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
cmake -S "$here" -B "$root/aarch64" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSVE_QEMU_CPU=neoverse-n1 \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/aarch64-linux-gnu.cmake" ${dr_args[@]+"${dr_args[@]}"} >/dev/null

status=0
for cfg in native aarch64; do
  echo "== build $cfg"
  cmake --build "$root/$cfg" -j "$jobs"
done
for cfg in native aarch64; do
  echo "== test $cfg"
  (cd "$root/$cfg" && SVE_QEMU_CPU=neoverse-n1 ctest -j "$jobs" --output-on-failure --timeout 1500) || status=1
done
echo "== test aarch64 on cortex-a72: hosts, examples, stress"
(cd "$root/aarch64" && SVE_QEMU_CPU=cortex-a72 ctest -j "$jobs" --output-on-failure --timeout 1500 \
  -R '^(trap_host$|example[.]|dynamorio_example[.]|dynamorio_programs$|process[.]stress$|dynamorio_process[.]stress$)') ||
  status=1
exit $status
