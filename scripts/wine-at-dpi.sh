#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix whose display has the density given in dots per
# inch (144 for 150%, 192 for 200%): a sibling of the usual prefix, made on first use, with the
# density in both places Wine reads it from. The program sees PELMORA_TEST_DPI set to it.
#
#   scripts/wine-at-dpi.sh 144 program.exe [arguments]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
dpi="$1"
shift
case "$dpi" in '' | *[!0-9]*) echo "wine-at-dpi: not a density: $dpi" >&2; exit 2 ;; esac
. "$here/lib/wine-env.sh"
pelmora_wine_probe || exit 1
if [ "$PELMORA_WINE32" = no ] && pelmora_is_32bit_pe "${1:-}"; then
    echo "SKIPPED: $(basename "$1") is a 32-bit program; $PELMORA_WINE32_WHY"
    exit 77
fi
export WINEPREFIX="$WINEPREFIX-dpi$dpi"
"$here/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    >/dev/null 2>&1
"$here/wine-run.sh" reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
export PELMORA_TEST_DPI="$dpi"
status=0
"$here/wine-run.sh" "$@" || status=$?
pelmora_wineserver -w || true
exit "$status"
