#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a prefix of its own (WINEPREFIX when set,
# otherwise one under the cache folder). Used as CMake's cross-compiling emulator.
set -euo pipefail
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The default prefix runs 32- and 64-bit programs (a prefix made by a 64-bit-only Wine cannot).
export WINEPREFIX="${WINEPREFIX:-${PELMORA_CACHE:-$HOME/.cache/pelmora}/wineprefix-wow64}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    # Two tests may start at once: one initialises, the other waits.
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wineboot -i >/dev/null 2>&1
            wineserver -w
        fi
    ) 9>"$WINEPREFIX.lock"
fi
# Wine draws caption buttons with its own Marlett font and the task list asks for Tahoma; Debian's
# Wine does not find its font files by itself, and letters would stand in for the caption buttons.
for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
    if [ -f "/usr/share/wine/fonts/$font" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/$font" ]; then
        cp "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
done
exec wine "$@"
