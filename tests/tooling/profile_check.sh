#!/usr/bin/env bash
# The profile of a straight-line program against a static count: the SVE
# instructions of straight_line_block (from objdump), each counted once per
# call, must be what `sve-run --profile` reports per mnemonic.
#   profile_check.sh --build DIR --program BIN [--dynamorio]
# Exit 77 (skipped) when the host writes no profile.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
build="" program="" host_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    --program) program="$2"; shift 2 ;;
    --dynamorio) host_args=(--dynamorio); shift ;;
    *) echo "profile_check: unknown argument $1" >&2; exit 2 ;;
  esac
done
calls=1000
work="$(mktemp -d "${TMPDIR:-/tmp}/sve-profile-check.XXXXXX")"
trap 'rm -rf "$work"' EXIT

objdump=aarch64-linux-gnu-objdump
command -v "$objdump" >/dev/null || objdump=objdump
# Static count: mnemonic and the shape of the first operand ("fmla z.d") of
# each SVE-space word of the block, times the calls.
"$objdump" -d --disassemble=straight_line_block "$program" 2>/dev/null |
  awk -F'\t' -v calls="$calls" '
    /^ +[0-9a-f]+:\t[0-9a-f]+ / {
      # Bits 28:25 = 0010: the first hex digit even, the second 4 or 5.
      if (substr($2, 1, 2) !~ /^[02468ace][45]$/) next
      mnemonic = $3; gsub(/ /, "", mnemonic)
      split($4, ops, ","); shape = ops[1]; gsub(/[{} 0-9]/, "", shape)
      # ptrue is common in the C library SVE routines too: not the block alone.
      if (mnemonic != "ptrue") count[mnemonic " " shape] += calls
    }
    END { for (k in count) print k "," count[k] }' | sort >"$work/expected"
[ -s "$work/expected" ] || { echo "FAIL: no SVE instructions found in straight_line_block"; exit 1; }

"$repo/tools/sve-run" -b "$build" ${host_args[@]+"${host_args[@]}"} --profile="$work/profile.csv" \
  --profile-format=csv "$program" "$calls" >"$work/out" 2>"$work/err" || {
  cat "$work/err"; echo "FAIL: the program failed"; exit 1; }
if [ ! -s "$work/profile.csv" ]; then
  echo "skipped: the host wrote no profile"
  exit 77
fi
# The profile's rows for the block's mnemonics.
awk -F, 'NR == FNR { want[$1] = 1; next } $1 == "mnemonic" && ($2 in want) { print $2 "," $3 }' \
  "$work/expected" "$work/profile.csv" | sort >"$work/got"
if ! cmp -s "$work/expected" "$work/got"; then
  echo "FAIL: profile counts differ from the static count (expected | profile)"
  diff "$work/expected" "$work/got" || true
  cat "$work/profile.csv"
  exit 1
fi
echo "profile matches the static count:"
sed 's/^/  /' "$work/got"
grep -E '^total,(instructions|traps|instructions_per_trap),' "$work/profile.csv" | sed 's/^/  /'
