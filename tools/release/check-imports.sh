#!/usr/bin/env bash
# Fails when a Windows binary imports anything but system DLLs (a MinGW runtime DLL such as
# libstdc++-6.dll or libwinpthread-1.dll would be missing on a user's machine).
# Usage: check-imports.sh <objdump> <binary>...
set -euo pipefail
objdump="$1"
shift
system='^(kernel32|user32|gdi32|shell32|shlwapi|advapi32|ole32|oleaut32|oleacc|comctl32|comdlg32|uxtheme|version|msvcrt|ucrtbase|rpcrt4|bcrypt|userenv|ws2_32|msimg32|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
for binary in "$@"; do
    imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p')
    if [ -z "$imports" ]; then
        echo "$binary: no import table found"
        status=1
        continue
    fi
    while read -r dll; do
        lower=$(printf '%s' "$dll" | tr '[:upper:]' '[:lower:]')
        if ! [[ "$lower" =~ $system ]]; then
            echo "$binary imports $dll, which is not a system DLL"
            status=1
        fi
    done <<<"$imports"
    echo "$binary: $(echo $imports | tr ' ' ',')"
done
exit $status
