#!/usr/bin/env bash
# Installs from Debian's archive whatever this machine lacks to build and test
# libsve_2048: compilers (native and AArch64 cross), qemu-user, CMake, Ninja,
# GoogleTest, Google Benchmark and llvm-mc. Idempotent; quiet when nothing is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make python3
  g++-aarch64-linux-gnu binutils-aarch64-linux-gnu libc6-dev-arm64-cross
  qemu-user
  googletest libgtest-dev libbenchmark-dev
  llvm-14
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
