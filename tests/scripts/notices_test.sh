#!/usr/bin/env bash
# The third-party notices check of scripts/release.sh: a Windows program that links the MinGW-w64
# runtime, its gdtoa number formatting and winpthreads passes with the notices the release writes,
# and fails, naming the component, when that component's section is missing; a package without
# LICENSE.txt or THIRD-PARTY-NOTICES.txt fails too.
set -euo pipefail
notices="$(cd "$(dirname "$0")/../.." && pwd)/tools/release/notices.py"
scratch="$(mktemp -d /tmp/pelmora-notices.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
failures=0

cat >p.c <<'EOF'
#define __USE_MINGW_ANSI_STDIO 1
#include <pthread.h>
#include <stdio.h>
static pthread_once_t once = PTHREAD_ONCE_INIT;
static void hello(void) { printf("%g\n", 0.5); }
int main(void) { return pthread_once(&once, hello); }
EOF
x86_64-w64-mingw32-gcc -O2 -s -static -o p.exe p.c -lpthread
python3 "$notices" write THIRD-PARTY-NOTICES.txt 1.0.0
printf 'MIT\n' >LICENSE.txt

# case NAME EXPECTED COMMAND...: EXPECTED is "ok" or a text the failure must name
case_of() {
    local name="$1" expected="$2" out rc=0
    shift 2
    out="$("$@" 2>&1)" || rc=$?
    if [ "$expected" = ok ] && [ "$rc" -ne 0 ]; then
        echo "FAIL $name: refused: $out"
    elif [ "$expected" != ok ] && [ "$rc" -eq 0 ]; then
        echo "FAIL $name: accepted"
    elif [ "$expected" != ok ] && ! grep -qF -- "$expected" <<<"$out"; then
        echo "FAIL $name: refused without saying \"$expected\": $out"
    else
        echo "ok   $name"
        return 0
    fi
    failures=$((failures + 1))
}
# without SECTION: the notices less that section
without() {
    awk -v t="== $1 ==" '/^== .* ==$/ { skip = ($0 == t) } !skip' THIRD-PARTY-NOTICES.txt >"less-$1.txt"
    echo "less-$1.txt"
}
case_of "all sections" ok python3 "$notices" check THIRD-PARTY-NOTICES.txt p.exe
for component in "MinGW-w64 runtime" "gdtoa (in the MinGW-w64 runtime)" winpthreads; do
    case_of "no $component section" "contains $component, but" \
        python3 "$notices" check "$(without "$component")" p.exe
done
case_of "no CLI11 section, no CLI11 inside" ok python3 "$notices" check "$(without CLI11)" p.exe

zip -q -X full.zip p.exe LICENSE.txt THIRD-PARTY-NOTICES.txt
zip -q -X no-license.zip p.exe THIRD-PARTY-NOTICES.txt
mkdir -p tree/pelmora && cp p.exe LICENSE.txt tree/pelmora/ && tar -czf no-notices.tar.gz -C tree pelmora
cp "$(without winpthreads)" tree/pelmora/THIRD-PARTY-NOTICES.txt && tar -czf short.tar.gz -C tree pelmora
case_of "package with both texts" ok python3 "$notices" check-artifact full.zip
case_of "package without LICENSE.txt" "no-license.zip has no LICENSE.txt" \
    python3 "$notices" check-artifact no-license.zip
case_of "package without the notices" "no-notices.tar.gz has no THIRD-PARTY-NOTICES.txt" \
    python3 "$notices" check-artifact no-notices.tar.gz
case_of "package whose notices lack a section" "contains winpthreads, but" \
    python3 "$notices" check-artifact short.tar.gz

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
