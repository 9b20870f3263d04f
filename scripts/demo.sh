#!/usr/bin/env bash
# One command from a fresh Debian 12 machine to Pelmora on the screen: sets up, builds the win64
# preset, creates a demo folder with three items and a few tasks (written through the task
# store), and starts Pelmora.exe under Wine for the item "Website Relaunch". With a display the
# program opens in a real window; without one it runs on a virtual display, and the script saves
# a screenshot and prints its path.
#
#   scripts/demo.sh [demo folder]        (default: ~/PelmoraDemo)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
. scripts/lib/window_capture.sh
demo="${1:-$HOME/PelmoraDemo}"

./scripts/setup.sh
build="${PELMORA_BUILD_DIR:-build/win64}"
if [ "$build" = build/win64 ] && [ ! -f build/win64/build.ninja ]; then
    cmake --preset win64 >/dev/null
fi
cmake --build "$build" --target Pelmora show_driver
case "$build" in /*) ;; *) build="$root/$build" ;; esac

mkdir -p "$demo"
demo="$(cd "$demo" && pwd)"
driver="$(winpath "$build/tests/app/show_driver.exe")"

pelmora_wine_probe || exit 1
pelmora_wine_prefix || exit 1

./scripts/wine-run.sh "$driver" seed "$(winpath "$demo")"
echo "demo: items \"Website Relaunch\", \"Garden\" and \"Taxes 2024\" in $demo"

if [ -n "${DISPLAY:-}" ]; then
    echo "demo: starting Pelmora for \"Website Relaunch\" (close its window to end)"
    exec ./scripts/wine-run.sh "$build/app/Pelmora.exe" "$(winpath "$demo/pelmora.db")" \
        "Website Relaunch"
fi

# No display: a virtual one, a Wine desktop on it, and a picture of the program's window.
scratch="$(mktemp -d /tmp/pelmora-demo.XXXXXX)"
trap capture_cleanup EXIT
start_virtual_display

desktop="demo$$"
./scripts/wine-run.sh explorer "/desktop=$desktop,1024x768" "$driver" demo \
    "$(winpath "$demo")" "$(winpath "$scratch")" >"$scratch/driver.log" 2>&1 &
driver_pid=$!
shot="$demo/pelmora-demo.png"
if ! capture_state "$scratch" demo "$desktop" "$shot"; then
    echo "demo: Pelmora's window did not appear" >&2
    cat "$scratch/driver.log" >&2
    exit 1
fi
capture_wait_driver
echo "demo: no display here, so Pelmora ran on a virtual one; screenshot: $shot"
