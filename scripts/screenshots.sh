#!/usr/bin/env bash
# Leaves PNG pictures of Pelmora's windows in a folder (default build/screenshots): the main
# window with open and done tasks and a long title, with an open and a done task selected, the
# editor in edit and add mode, a confirmation, the about box, the empty list of a renamed item and
# the "Recover Tasks..." dialog. They are taken on a Wine virtual desktop, so frames, captions and
# the menu bar show. Builds the win64 preset when needed and starts a virtual X display when there
# is none.
#
#   scripts/screenshots.sh [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
. scripts/virtual_display.sh
. scripts/wine-env.sh
out="${1:-build/screenshots}"
build="${PELMORA_BUILD_DIR:-build/win64}"

if [ "$build" = build/win64 ] && [ ! -f build/win64/build.ninja ]; then
    cmake --preset win64 >/dev/null
fi
cmake --build "$build" --target Pelmora show_driver >/dev/null
case "$build" in /*) ;; *) build="$root/$build" ;; esac

scratch="$(mktemp -d /tmp/pelmora-shots.XXXXXX)"
xvfb_pid=""
driver_pid=""
cleanup() {
    [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    start_virtual_display
fi


pelmora_wine_probe || exit 1
pelmora_wine_prefix || exit 1

mkdir -p "$out" "$scratch/items" "$scratch/sync"
out="$(cd "$out" && pwd)"
desktop="shots$$"
"$root/scripts/wine-run.sh" explorer "/desktop=$desktop,1024x768" \
    "$(winpath "$build/tests/app/show_driver.exe")" shots \
    "$(winpath "$scratch/items")" "$(winpath "$scratch/sync")" >"$scratch/driver.log" 2>&1 &
driver_pid=$!

# The virtual desktop is one X window; pictures are taken of it alone.
desktop_window() {
    xwininfo -root -tree 2>/dev/null | awk -v name="\"$desktop - Wine desktop\"" \
        'index($0, name) { print $1; exit }'
}

shots=(main main-selected-open main-selected-done editor-edit editor-add confirm-remove about
    main-empty recover)
for name in "${shots[@]}"; do
    for _ in $(seq 600); do
        [ -e "$scratch/sync/$name.ready" ] && break
        kill -0 "$driver_pid" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -e "$scratch/sync/$name.ready" ]; then
        echo "screenshots: the program never reached the state \"$name\"" >&2
        cat "$scratch/driver.log" >&2
        exit 1
    fi
    window="$(desktop_window)"
    import -window "${window:-root}" "$out/$name.png"
    touch "$scratch/sync/$name.taken"
done
for _ in $(seq 100); do kill -0 "$driver_pid" 2>/dev/null || break; sleep 0.1; done
echo "screenshots: ${#shots[@]} pictures in $out"
