#!/usr/bin/env bash
# The conformance report of one or both subject builds, in one command.
#
#   tools/conformance/conformance.sh [--subject native|aarch64|both]
#       [--native-build DIR] [--aarch64-build DIR] [sve_conformance options...]
#
# native:  DIR/tools/conformance/sve_conformance runs on this machine.
# aarch64: the AArch64 build of the same tool runs under qemu-aarch64 with a CPU
#          that has no SVE (cortex-a72), so host-FPU kernels use the AArch64 FPU.
# Either way the reference is the probe under qemu-aarch64 with SVE at 2048 bits.
# Every other option goes to sve_conformance (--handlers, --cases, --thorough,
# --seed, --case, --include-unimplemented, --failures-only). Build directories
# default to $SVE_NATIVE_BUILD and $SVE_AARCH64_BUILD, else build and build-aarch64.
# Exit status: 0 when every run agrees, 1 on a disagreement, 2 on an error.
set -u
subject=native
native_build=${SVE_NATIVE_BUILD:-build}
aarch64_build=${SVE_AARCH64_BUILD:-build-aarch64}
pass=()
while [ $# -gt 0 ]; do
  case "$1" in
    --subject) subject=${2:?--subject needs native, aarch64 or both}; shift 2 ;;
    --native-build) native_build=${2:?}; shift 2 ;;
    --aarch64-build) aarch64_build=${2:?}; shift 2 ;;
    *) pass+=("$1"); shift ;;
  esac
done

run_one() {
  local label=$1; shift
  echo "== subject: $label"
  "$@" "${pass[@]+"${pass[@]}"}"
}

status=0
note() { if [ "$1" -gt "$status" ]; then status=$1; fi; }
case "$subject" in
  native|both)
    tool="$native_build/tools/conformance/sve_conformance"
    if [ ! -x "$tool" ]; then echo "conformance.sh: no $tool (build sve_conformance first)" >&2; exit 2; fi
    run_one "native $(uname -m)" "$tool"; note $? ;;&
  aarch64|both)
    tool="$aarch64_build/tools/conformance/sve_conformance"
    if [ ! -x "$tool" ]; then echo "conformance.sh: no $tool (build sve_conformance first)" >&2; exit 2; fi
    run_one "aarch64 under qemu-aarch64 -cpu cortex-a72" \
      qemu-aarch64 -L /usr/aarch64-linux-gnu -cpu cortex-a72 "$tool"; note $? ;;
  native|aarch64|both) ;;
  *) echo "conformance.sh: --subject is native, aarch64 or both" >&2; exit 2 ;;
esac
exit $status
