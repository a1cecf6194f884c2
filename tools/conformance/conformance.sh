#!/usr/bin/env bash
# The conformance report of one or both subject builds, in one command.
#
#   tools/conformance/conformance.sh [--subject native|aarch64|traphost|both|all]
#       [--native-build DIR] [--aarch64-build DIR] [sve_conformance options...]
#
# native:   DIR/tools/conformance/sve_conformance runs on this machine.
# aarch64:  the AArch64 build of the same tool runs under qemu-aarch64 with a CPU
#           that has no SVE (cortex-a72), so host-FPU kernels use the AArch64 FPU.
# traphost: the probe itself runs under qemu-aarch64 -cpu cortex-a72 with the
#           AArch64 build's libsve_2048_trap.so preloaded, so the trap host's
#           register exchange is compared too (the harness is the native tool
#           when built, else the AArch64 one).
# both:     native and aarch64; all: the three.
# Every time the reference is the probe under qemu-aarch64 with SVE at 2048 bits.
# Every other option goes to sve_conformance (--handlers, --cases, --thorough,
# --seed, --case, --include-unimplemented, --failures-only, --group
# half-precision for the FP16 scalar and Advanced SIMD group, --sequences N
# [--sequence K] for random blocks of 2-16 SVE instructions, which every subject
# ends with "sequences: N run, A agree, D disagree"). Build directories
# default to $SVE_NATIVE_BUILD and $SVE_AARCH64_BUILD, else build and build-aarch64.
# Exit status: 0 when every run agrees, 1 on a disagreement, 2 on an error.
set -u
subject=native
native_build=${SVE_NATIVE_BUILD:-build}
aarch64_build=${SVE_AARCH64_BUILD:-build-aarch64}
pass=()
while [ $# -gt 0 ]; do
  case "$1" in
    --subject) subject=${2:?--subject needs native, aarch64, traphost, both or all}; shift 2 ;;
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
  native|aarch64|traphost|both|all) ;;
  *) echo "conformance.sh: --subject is native, aarch64, traphost, both or all" >&2; exit 2 ;;
esac
case "$subject" in
  native|both|all)
    tool="$native_build/tools/conformance/sve_conformance"
    if [ ! -x "$tool" ]; then echo "conformance.sh: no $tool (build sve_conformance first)" >&2; exit 2; fi
    run_one "native $(uname -m)" "$tool"; note $? ;;&
  aarch64|both|all)
    tool="$aarch64_build/tools/conformance/sve_conformance"
    if [ ! -x "$tool" ]; then echo "conformance.sh: no $tool (build sve_conformance first)" >&2; exit 2; fi
    run_one "aarch64 under qemu-aarch64 -cpu cortex-a72" \
      qemu-aarch64 -L /usr/aarch64-linux-gnu -cpu cortex-a72 "$tool"; note $? ;;&
  traphost|all)
    lib="$(cd "$aarch64_build" 2>/dev/null && pwd)/sve/client/libsve_2048_trap.so"
    if [ ! -f "$lib" ]; then echo "conformance.sh: no $lib (build the AArch64 configuration first)" >&2; exit 2; fi
    tool="$native_build/tools/conformance/sve_conformance"
    if [ -x "$tool" ]; then
      run_one "probe under the trap host, qemu-aarch64 -cpu cortex-a72" "$tool" --trap-host "$lib"
    else
      tool="$aarch64_build/tools/conformance/sve_conformance"
      if [ ! -x "$tool" ]; then echo "conformance.sh: no sve_conformance in either build" >&2; exit 2; fi
      run_one "probe under the trap host, qemu-aarch64 -cpu cortex-a72" \
        qemu-aarch64 -L /usr/aarch64-linux-gnu -cpu cortex-a72 "$tool" --trap-host "$lib"
    fi
    note $? ;;
  *) ;;
esac
exit $status
