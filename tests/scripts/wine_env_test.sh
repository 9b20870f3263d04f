#!/usr/bin/env bash
# How scripts/lib/wine-env.sh picks the Wine loader, against stand-in loaders in a temporary folder:
# a 32-bit loader the kernel cannot execute, one that is missing, the switch that makes a capable
# host behave as a 64-bit-only one, no loader at all, a failing wineboot, and a 32-bit program
# reported as skipped by wine-run.sh without being started.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d /tmp/pelmora-wine-env.XXXXXX)"
trap 'rm -rf "$work"' EXIT
failures=0
unset PELMORA_HOST_64BIT_ONLY
not() { ! "$@"; }
check() { # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}

# loader NAME BEHAVIOUR: a stand-in that answers --version, or fails as a kernel without 32-bit
# support does, and notes every other start in $work/started.
loader() {
    local file="$work/bin/$1"
    mkdir -p "$work/bin"
    case "$2" in
    works) printf '#!/bin/sh\n[ "$1" = --version ] && { echo wine-8.0; exit 0; }\necho "$0 $*" >>"%s/started"\n[ "$1" = wineboot ] && { echo "boot failed: no display driver"; exit 1; }\nexit 0\n' "$work" >"$file" ;;
    noexec) printf '#!/bin/sh\necho "%s: Exec format error" >&2\nexit 126\n' "$file" >"$file" ;;
    esac
    chmod +x "$file"
}
fresh() { # runs "$@" in a shell that has probed nothing yet
    env -u PELMORA_WINE_LOADER -u PELMORA_WINE32 -u PELMORA_WINE32_WHY -u WINELOADER \
        -u PELMORA_WINE_PROBED_FOR PELMORA_WINE_DIR="$work/bin" \
        WINEPREFIX="$work/prefix" "$@"
}
probe() { # prints loader|32-bit|why|WINELOADER after a probe, or fails as the probe did
    fresh bash -c ". '$root/scripts/lib/wine-env.sh' && pelmora_wine_probe &&
        echo \"\$(basename \"\$PELMORA_WINE_LOADER\")|\$PELMORA_WINE32|\$PELMORA_WINE32_WHY|\${WINELOADER:-}\"" "$@"
}
reset() { rm -rf "$work/bin" "$work/started"; }

reset
loader wine works
loader wine64 works
result="$(probe)"
check "both loaders run: the 32-bit one starts everything, WINELOADER unset" [ "$result" = "wine|yes||" ]
result="$(PELMORA_HOST_64BIT_ONLY=1 probe)"
check "the switch makes the host 64-bit-only" \
    [ "$result" = "wine64|no|PELMORA_HOST_64BIT_ONLY=1 makes this host behave as one that cannot run 32-bit programs|$work/bin/wine64" ]

reset
loader wine noexec
loader wine64 works
result="$(probe)"
check "a 32-bit loader that cannot execute: the 64-bit loader, WINELOADER set to it" \
    [ "${result%%|*}" = wine64 ] && [ "${result##*|}" = "$work/bin/wine64" ]
check "the reason quotes what the 32-bit loader said" grep -q "no|this host cannot execute 32-bit programs.*Exec format error" <<<"$result"

reset
loader wine64 works
result="$(probe)"
check "no 32-bit loader installed" grep -q "^wine64|no|32-bit Wine is not installed" <<<"$result"

reset
loader wine noexec
message="$(probe 2>&1)"
check "no loader that runs: one line that names the cause" \
    [ "$(wc -l <<<"$message")" = 1 ] && grep -q "no Wine loader runs on this host" <<<"$message"
probe >/dev/null 2>&1
check "and a non-zero result" [ $? -ne 0 ]

# The machine field of a PE header: 0x014c for x86, 0x8664 for x64.
pe() { # pe FILE MACHINE-BYTES
    { printf 'MZ'; head -c 58 /dev/zero; printf '\x40\x00\x00\x00'; printf 'PE\0\0'; printf "$2"; head -c 64 /dev/zero; } >"$1"
}
pe "$work/x86.exe" '\x4c\x01'
pe "$work/x64.exe" '\x64\x86'
echo "not a program" >"$work/text.exe"
is32() { bash -c ". '$root/scripts/lib/wine-env.sh' && pelmora_is_32bit_pe \"\$1\"" _ "$1"; }
check "an x86 program is told apart" is32 "$work/x86.exe"
check "an x64 program is not 32-bit" not is32 "$work/x64.exe"
check "neither is a file that is no program" not is32 "$work/text.exe"

reset
loader wine works
loader wine64 works
mkdir -p "$work/prefix" && touch "$work/prefix/system.reg"
output="$(PELMORA_HOST_64BIT_ONLY=1 fresh "$root/scripts/wine-run.sh" "$work/x86.exe")"
code=$?
check "wine-run.sh: a 32-bit program on a 64-bit-only host ends with 77 (skipped)" [ "$code" = 77 ]
check "saying why" grep -q "^SKIPPED: x86.exe is a 32-bit program; PELMORA_HOST_64BIT_ONLY=1" <<<"$output"
check "and the program was never started" [ ! -e "$work/started" ]
PELMORA_HOST_64BIT_ONLY=1 fresh "$root/scripts/wine-run.sh" "$work/x64.exe" >/dev/null
check "a 64-bit program there is started by the 64-bit loader" grep -q "bin/wine64 $work/x64.exe" "$work/started"
check "a prefix without it gets the setting that lets a crash end the program" \
    grep -q "bin/wine64 reg add HKCU.Software.Wine.WineDbg /v ShowCrashDialog /t REG_DWORD /d 0" "$work/started"
fresh "$root/scripts/wine-run.sh" "$work/x86.exe" >/dev/null
check "where 32-bit programs run, it is started by the 32-bit loader" grep -q "bin/wine $work/x86.exe" "$work/started"

rm -rf "$work/prefix"
message="$(fresh "$root/scripts/wine-run.sh" "$work/x64.exe" 2>&1)"
code=$?
check "a wineboot that fails stops the run" [ "$code" -ne 0 ]
check "with Wine's own words" grep -q "could not create the Wine prefix.*boot failed: no display driver" <<<"$message"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
