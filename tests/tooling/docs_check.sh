#!/usr/bin/env bash
# The user documentation agrees with the code: every option of sve-run's
# --help is in the manual page and the README names the ones users need;
# every environment variable that the sources and scripts read is in
# doc/environment.md.
#   docs_check.sh SOURCE_DIR
set -euo pipefail
src="$1"
status=0
fail() { echo "FAIL: $*"; status=1; }

help="$("$src/tools/sve-run" --help)"
man="$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$src/doc/sve-run.1")"
options="$(printf '%s\n' "$help" | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+' | sort -u)"
[ -n "$options" ] || fail "no options found in sve-run --help"
for opt in $options; do
  grep -q -- "$opt" <<<"$man" || fail "sve-run $opt is not in doc/sve-run.1"
done
for opt in --dynamorio --stats --profile --profile-format; do
  grep -q -- "$opt" "$src/README.md" || fail "README.md does not mention sve-run $opt"
done
grep -q 'doc/environment.md' "$src/README.md" || fail "README.md does not link doc/environment.md"

# Variables read by C and C++ code (getenv) and by the scripts (${SVE_...}).
vars="$( (grep -rhoE 'getenv\("[A-Z_0-9]+"\)' "$src/sve" "$src/tests" "$src/tools" "$src/bench" 2>/dev/null |
           sed -E 's/getenv\("([A-Z_0-9]+)"\)/\1/'
         grep -hoE '\$\{?SVE_[A-Z_0-9]+' "$src"/tools/sve-run "$src"/tools/dr-run "$src"/tools/run-examples \
           "$src"/tools/test.sh "$src"/tools/conformance/conformance.sh "$src"/bench/insn_cost/run 2>/dev/null |
           tr -d '${') | sort -u)"
for v in $vars; do
  grep -q "\`$v\`" "$src/doc/environment.md" || fail "$v is read but not described in doc/environment.md"
done
for v in SVE_PROFILE SVE_PROFILE_FORMAT SVE_TRAP_STATS SVE_SYSROOT SVE_DYNAMORIO_ROOT; do
  grep -q "$v" <<<"$man" || fail "$v is not in doc/sve-run.1"
done
[ "$status" = 0 ] && echo "documentation agrees: $(wc -w <<<"$options") options, $(wc -w <<<"$vars") variables"
exit $status
