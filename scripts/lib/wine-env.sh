# The one place that decides how Windows programs are started. Sourced (never run) by every script
# that starts Wine: wine-run.sh (CMake's emulator for the Windows builds), the test command, the
# installer tests, the demo and the screenshots.
#
# Hosts of our kind differ: on some the kernel cannot execute 32-bit programs at all. Debian's
# `wine` wrapper picks the 32-bit loader whenever wine32 is installed (it only tests the file's
# mode), so there even 64-bit programs would never start. The probe below runs the 32-bit loader
# once; when that fails, programs are started by the 64-bit loader directly, with WINELOADER set to
# it, and 32-bit programs are reported as skipped by the callers.
#
#   PELMORA_HOST_64BIT_ONLY=1   behave as a host that cannot run 32-bit programs, wherever we are
#   PELMORA_WINE_DIR            where the loaders live (default /usr/lib/wine; the probe's own tests
#                               point it at stand-ins)
#
# After pelmora_wine_probe: PELMORA_WINE_LOADER (the loader to start programs with),
# PELMORA_WINE32 (yes or no) and PELMORA_WINE32_WHY (why not, when no), all exported, so that the
# tests the test command starts do not probe again.

pelmora_wine_probe() {
    local switch="${PELMORA_HOST_64BIT_ONLY:-0}"
    if [ -n "${PELMORA_WINE_LOADER:-}" ] && [ "${PELMORA_WINE_PROBED_FOR:-}" = "$switch" ]; then
        return 0
    fi
    local dir="${PELMORA_WINE_DIR:-/usr/lib/wine}"
    local wine32="$dir/wine" wine64="$dir/wine64" out

    PELMORA_WINE32=no
    PELMORA_WINE32_WHY=""
    if [ "$switch" = 1 ]; then
        PELMORA_WINE32_WHY="PELMORA_HOST_64BIT_ONLY=1 makes this host behave as one that cannot run 32-bit programs"
    elif [ ! -e "$wine32" ]; then
        PELMORA_WINE32_WHY="32-bit Wine is not installed ($wine32 is missing)"
    elif out="$("$wine32" --version 2>&1)"; then
        PELMORA_WINE32=yes
    else
        out="$(printf '%s' "$out" | tr '\n' ' ' | cut -c1-160)"
        PELMORA_WINE32_WHY="this host cannot execute 32-bit programs ($wine32 --version: ${out:-no output})"
    fi

    if [ "$PELMORA_WINE32" = yes ]; then
        # The 32-bit loader hands 64-bit programs on to the 64-bit one by itself.
        PELMORA_WINE_LOADER="$wine32"
        unset WINELOADER
    elif out="$("$wine64" --version 2>&1)"; then
        PELMORA_WINE_LOADER="$wine64"
        export WINELOADER="$wine64"
    else
        out="$(printf '%s' "$out" | tr '\n' ' ' | cut -c1-160)"
        echo "wine: no Wine loader runs on this host: $PELMORA_WINE32_WHY; $wine64 --version: ${out:-no output}" >&2
        return 1
    fi
    PELMORA_WINESERVER="$dir/wineserver64"
    [ -x "$PELMORA_WINESERVER" ] || PELMORA_WINESERVER=wineserver
    PELMORA_WINE_PROBED_FOR="$switch"
    export PELMORA_WINE_LOADER PELMORA_WINE32 PELMORA_WINE32_WHY PELMORA_WINESERVER
    export PELMORA_WINE_PROBED_FOR

    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
    # A prefix made by a 64-bit-only Wine cannot run 32-bit programs: each kind has its own.
    if [ "$PELMORA_WINE32" = yes ]; then
        export WINEPREFIX="${WINEPREFIX:-${PELMORA_CACHE:-$HOME/.cache/pelmora}/wineprefix-wow64}"
    else
        export WINEPREFIX="${WINEPREFIX:-${PELMORA_CACHE:-$HOME/.cache/pelmora}/wineprefix-win64}"
    fi
}

# The Wine commands, each through the chosen loader: `pelmora_wine reg ...`, `pelmora_wine
# regsvr32 ...`. The server (PELMORA_WINESERVER, for `timeout`) is a native program serving both
# kinds.
pelmora_wine() { "$PELMORA_WINE_LOADER" "$@"; }
pelmora_wineboot() { "$PELMORA_WINE_LOADER" wineboot "$@"; }
pelmora_wineserver() { "$PELMORA_WINESERVER" "$@"; }

# True when FILE is a Windows program or library built for x86 (32-bit).
pelmora_is_32bit_pe() {
    local file="$1" offset machine
    [ -f "$file" ] || return 1
    [ "$(head -c 2 "$file" 2>/dev/null)" = MZ ] || return 1
    offset="$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')"
    machine="$(od -An -tx2 -j$((offset + 4)) -N2 "$file" | tr -d ' ')"
    [ "$machine" = 014c ]
}

# A program that crashes must end at once with its exception named. Wine's debugger would show
# its crash dialog on the display and wait for a click, so a crashed test would hang to its time
# limit; without the dialog the debugger writes the exception and a backtrace to standard error and
# ends the program, whose exit code is then the exception's.
pelmora_wine_crash_ends_program() {
    env -u DISPLAY "$PELMORA_WINE_LOADER" reg add 'HKCU\Software\Wine\WineDbg' \
        /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 && return 0
    echo "wine: could not turn off the crash dialog in $WINEPREFIX: a crash there may hang" >&2
}

# Makes WINEPREFIX once (two callers may get here at the same time: one makes it, the other waits).
# A prefix that cannot be made is reported with Wine's own words and a non-zero result.
pelmora_wine_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX" || return 1
        local log="$WINEPREFIX.boot.log" rc=0
        (
            flock 9
            if [ ! -f "$WINEPREFIX/system.reg" ]; then
                # Off the display: the set-up shows a progress window that would take the focus.
                env -u DISPLAY "$PELMORA_WINE_LOADER" wineboot -i >"$log" 2>&1 &&
                    pelmora_wine_crash_ends_program &&
                    pelmora_wineserver -w >>"$log" 2>&1 &&
                    [ -f "$WINEPREFIX/system.reg" ]
            fi
        ) 9>"$WINEPREFIX.lock" || rc=$?
        if [ "$rc" -ne 0 ]; then
            echo "wine: could not create the Wine prefix $WINEPREFIX with $PELMORA_WINE_LOADER" \
                "(wineboot: $(grep -v '^$' "$log" 2>/dev/null | tail -n 3 | tr '\n' ' ' | cut -c1-300))" >&2
            return 1
        fi
    fi
    # Prefixes made before this setting existed get it here.
    grep -qs '^"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" || pelmora_wine_crash_ends_program
    # Wine draws caption buttons with its own Marlett font and the task list asks for Tahoma;
    # Debian's Wine does not find its font files by itself, and letters would stand in for the
    # caption buttons.
    local font
    for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
        if [ -f "/usr/share/wine/fonts/$font" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/$font" ]; then
            cp "/usr/share/wine/fonts/$font" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        fi
    done
    # Windows draws Chinese, Japanese and Korean letters in the dialog fonts through font links to
    # a font that has them; Wine links only in a CJK locale. Set-up installs such a font; the link
    # is used only for letters the dialog font lacks, so other text looks as before.
    local cjk=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
    if [ -f "$cjk" ] && ! grep -qs 'wqy-zenhei.ttc' "$WINEPREFIX/system.reg"; then
        for font in "Tahoma" "Tahoma Bold" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
            "$PELMORA_WINE_LOADER" reg add \
                'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                /v "$font" /t REG_MULTI_SZ /d 'wqy-zenhei.ttc,WenQuanYi Zen Hei' /f >/dev/null 2>&1 || true
        done
    fi
}

# One line for summaries: how Windows programs run here.
pelmora_wine_describe() {
    if [ "$PELMORA_WINE32" = yes ]; then
        echo "Wine runs 64- and 32-bit programs ($PELMORA_WINE_LOADER)"
    else
        echo "Wine runs 64-bit programs only ($PELMORA_WINE_LOADER, WINELOADER set): $PELMORA_WINE32_WHY"
    fi
}
