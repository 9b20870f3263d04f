#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a prefix of its own (WINEPREFIX when set,
# otherwise one under the cache folder). CMake's cross-compiling emulator for the Windows builds.
# A 32-bit program on a host that cannot run one is not started: it is reported as skipped, with
# the reason, and exit code 77, which the tests count as skipped.
set -euo pipefail
here="$(dirname "$0")"
. "$here/lib/wine-env.sh"
pelmora_wine_probe || exit 1
if [ "$PELMORA_WINE32" = no ] && [ $# -gt 0 ] && pelmora_is_32bit_pe "$1"; then
    echo "SKIPPED: $(basename "$1") is a 32-bit program; $PELMORA_WINE32_WHY"
    exit 77
fi
pelmora_wine_prefix || exit 1
exec "$PELMORA_WINE_LOADER" "$@"
