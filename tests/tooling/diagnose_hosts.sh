#!/usr/bin/env bash
# An instruction neither host emulates, through each host: a program that dies
# by it gets the first line unchanged, then the explanation; a program that
# catches the SIGILL itself (a feature probe) gets no message.
#   diagnose_hosts.sh --build DIR --program PATH [--dynamorio]
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="" program="" host=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --program) program="$2"; shift 2 ;;
    --dynamorio) host=(--dynamorio); shift ;;
    *) echo "unknown option $1"; exit 2 ;;
  esac
done
status=0
fail() { echo "FAIL: $*"; status=1; }
run() { "$here/tools/sve-run" -b "$build" ${host[@]+"${host[@]}"} -- "$program" "$@"; }

err="$(run die 2>&1 >/dev/null)"
code=$?
[ "$code" = 132 ] || fail "die: status $code, expected 132 (SIGILL)"
first="$(grep -m1 '^Error:' <<<"$err")"
[[ "$first" =~ ^Error:\ failed\ to\ emulate\ SVE\ instruction\ 0x04a27020\ at\ PC\ 0x[0-9a-f]+$ ]] ||
  fail "die: first line is '$first'"
grep -A3 '^Error:' <<<"$err" | grep -q 'reason: an SVE2 instruction' || fail "die: no SVE2 reason in: $err"
grep -A3 '^Error:' <<<"$err" | grep -q "location: .*sigill_program" || fail "die: no location in: $err"

out="$(run probe 2>&1)"
code=$?
[ "$code" = 0 ] || fail "probe: status $code"
grep -q '^probe: no SVE2$' <<<"$out" || fail "probe: output '$out'"
! grep -q '^Error:' <<<"$out" || fail "probe: a message for a SIGILL the program handles: $out"
[ "$status" = 0 ] && echo "diagnostics as expected${host[@]+ (${host[*]})}"
exit $status
