#!/usr/bin/env bash
# Checks an installation the way a user meets it: installs the build into a
# temporary prefix (or builds the Debian package and unpacks it), then runs
# example programs with the installed sve-run from an unrelated directory,
# through the trap host and, when the build has it, the DynamoRIO client. Each
# run's output must equal the same program's on QEMU's own SVE at 2048 bits.
#
#   install_check.sh --build DIR --mode install|deb [--examples "name ..."]
#                    [--dynamorio]
#
# --mode deb runs `cpack -G DEB`, checks the package's architecture and file
# list (dpkg-deb), unpacks it (dpkg-deb -x) and runs from the unpacked /usr.
set -euo pipefail

build=""
mode=install
examples="daxpy-vla strlen_ff-vl2048"
dynamorio=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --mode) mode="$2"; shift 2 ;;
    --examples) examples="$2"; shift 2 ;;
    --dynamorio) dynamorio=1; shift ;;
    *) echo "install_check: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -d "$build" ] || { echo "install_check: no build directory '$build'" >&2; exit 2; }
build="$(cd "$build" && pwd)"

case "$(uname -m)" in
  aarch64|arm64) sysroot=/ ;;
  *) sysroot="${SVE_SYSROOT:-/usr/aarch64-linux-gnu}" ;;
esac

work="$(mktemp -d "${TMPDIR:-/tmp}/sve-install-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "$mode" = install ]; then
  prefix="$work/prefix"
  cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
else
  command -v dpkg-deb >/dev/null || { echo "skipped: no dpkg-deb"; exit 77; }
  (cd "$work" && cpack -G DEB -B "$work/package" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; fail "cpack -G DEB"; }
  deb="$(ls "$work"/package/*.deb 2>/dev/null | head -n 1)"
  [ -n "$deb" ] || fail "cpack made no .deb"
  echo "package: $(basename "$deb")"
  [ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ] || fail "architecture is $(dpkg-deb -f "$deb" Architecture), not arm64"
  [ "$(dpkg-deb -f "$deb" Package)" = libsve-2048 ] || fail "package name is $(dpkg-deb -f "$deb" Package)"
  dpkg-deb -c "$deb" | awk '{ print $NF }' | sed 's|^\./|/|' >"$work/contents"
  for f in /usr/bin/sve-run /usr/lib/libsve_2048/libsve_2048_trap.so /usr/lib/libsve_2048/dr-run \
           /usr/lib/libsve_2048/sve-install.conf /usr/share/man/man1/sve-run.1 \
           /usr/share/doc/libsve_2048/README.md /usr/share/doc/libsve_2048/environment.md; do
    grep -qx "$f" "$work/contents" || fail "the package has no $f"
  done
  if [ "$dynamorio" = 1 ]; then
    grep -qx /usr/lib/libsve_2048/libsve_2048.so "$work/contents" || fail "the package has no DynamoRIO client"
  fi
  dpkg-deb -x "$deb" "$work/root"
  prefix="$work/root/usr"
fi

for f in bin/sve-run lib/libsve_2048/libsve_2048_trap.so lib/libsve_2048/dr-run share/man/man1/sve-run.1 \
         share/doc/libsve_2048/environment.md; do
  [ -e "$prefix/$f" ] || fail "no $f under the installation"
done
[ -x "$prefix/bin/sve-run" ] || fail "sve-run is not executable"

# From a directory that has nothing to do with the source or the build.
mkdir -p "$work/elsewhere"
cd "$work/elsewhere"
"$prefix/bin/sve-run" --version | grep -q "libraries in $prefix/lib/libsve_2048" ||
  fail "sve-run --version: $("$prefix/bin/sve-run" --version)"
"$prefix/bin/sve-run" --help | grep -q -- "--profile" || fail "sve-run --help does not describe --profile"

hosts=(trap)
[ "$dynamorio" = 1 ] && hosts+=(dynamorio)
for name in $examples; do
  bin="$build/examples/$name"
  [ -x "$bin" ] || fail "no example $bin"
  cp "$bin" "$work/elsewhere/$name"
  qemu-aarch64 -L "$sysroot" -cpu max,sve-default-vector-length=256 "./$name" >"$work/ref.out" 2>/dev/null ||
    fail "$name fails on QEMU's own SVE"
  for host in "${hosts[@]}"; do
    args=()
    [ "$host" = dynamorio ] && args=(--dynamorio)
    rc=0
    # SVE_BUILD_DIR and SVE_TRAP_LIB would point an installed sve-run nowhere else.
    env -u SVE_TRAP_LIB SVE_BUILD_DIR=/nonexistent "$prefix/bin/sve-run" ${args[@]+"${args[@]}"} "./$name" \
      >"$work/emu.out" 2>"$work/emu.err" || rc=$?
    if [ "$rc" != 0 ] || ! cmp -s "$work/ref.out" "$work/emu.out"; then
      sed 's/^/  stderr: /' "$work/emu.err" | head -n 20
      diff "$work/ref.out" "$work/emu.out" | head -n 20 || true
      fail "$name through the installed $host host: exit status $rc or output differs from QEMU's SVE"
    fi
    echo "ok: $name through the installed $host host ($mode)"
  done
done
