#!/usr/bin/env bash
# Sets up, builds and runs every test: the portable core natively and under the sanitizers, and
# the Windows binaries under Wine (fresh temporary prefixes, on virtual X displays). Ends with a
# summary of the tiers that ran and of those skipped, and why, and of the time each step took.
#
# PELMORA_HOST_64BIT_ONLY=1 makes a host that can run 32-bit programs behave as one that cannot.
#
# The Windows tiers spend most of their time waiting on windows, so they run beside the builds,
# clang-tidy and fuzzing, which want the processors: each Windows tier starts as soon as what it
# tests is built, in a Wine prefix and on a virtual display of its own (each made once, up front,
# and kept for the whole tier). A step that runs beside others writes to a log of its own, which is
# shown when the step ends; a failing step fails the command.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/virtual_display.sh
. scripts/wine-env.sh

scratch="$(mktemp -d /tmp/pelmora-test.XXXXXX)"
xvfb_pid=""
xvfb_pids=()
declare -A step_pid=()
# The process and all it started, children first.
stop_tree() {
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do stop_tree "$child"; done
    kill "$1" 2>/dev/null || true
}
cleanup() {
    local pid prefix
    for pid in "${step_pid[@]}"; do stop_tree "$pid"; done
    if [ -n "${PELMORA_WINESERVER:-}" ]; then
        for prefix in "$scratch"/prefix*; do
            [ -d "$prefix" ] && WINEPREFIX="$prefix" timeout 20 "$PELMORA_WINESERVER" -k >/dev/null 2>&1 || true
        done
    fi
    for pid in "${xvfb_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

# timed NAME COMMAND...: runs a step and notes how long it took, for the summary.
timed() {
    local name="$1" start=$SECONDS
    shift
    "$@"
    printf '%s\t%s\n' "$name" "$((SECONDS - start))" >>"$scratch/timings"
}
# beside NAME COMMAND...: starts a step in the background, its output in a log of its own.
beside() {
    local name="$1"
    shift
    (timed "$name (beside)" "$@") >"$scratch/step-$name.log" 2>&1 &
    step_pid[$name]=$!
}
# await NAME [show]: waits for a step started by `beside`. Its log is shown when it failed (and the
# command stops) or when asked for.
await() {
    local name="$1" show="${2:-}" rc=0
    wait "${step_pid[$name]}" || rc=$?
    unset "step_pid[$name]"
    if [ "$rc" -ne 0 ]; then
        echo "!! step \"$name\" failed; its log:" >&2
        cat "$scratch/step-$name.log" >&2
        return "$rc"
    fi
    [ -z "$show" ] || cat "$scratch/step-$name.log"
}
timed setup ./scripts/setup.sh

# Decide once how Windows programs start here; a host where Wine cannot run at all stops here, with
# the cause. The prefixes the Windows tiers use are made beside the builds.
echo "== Wine"
export WINEPREFIX="$scratch/prefix"
pelmora_wine_probe || { echo "test.sh: stopping: Wine cannot run programs on this host" >&2; exit 1; }
pelmora_wine_describe
caller_display="${DISPLAY:-}"
make_prefix() { WINEPREFIX="$1" pelmora_wine_prefix; }
beside prefix-win64 make_prefix "$scratch/prefix"
beside prefix-win32 make_prefix "$scratch/prefix-win32"

echo "== format check"
format_check() {
    git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build/' \
        | xargs -r clang-format --dry-run --Werror
}
timed "format check" format_check

jobs="${PELMORA_JOBS:-$(nproc)}"
echo "== configure linux, linux-asan, win32, win64, fuzz"
for preset in linux linux-asan win32 win64 fuzz; do
    beside "configure $preset" cmake --preset "$preset"
done
for preset in linux linux-asan win32 win64 fuzz; do await "configure $preset"; done

build() {
    echo "== build $1"
    cmake --build --preset "$1" -j "$jobs"
}

# tier LABEL PRESET [CTEST ARGS...]: runs one preset's tests and notes what ran and what skipped
# in $scratch/summary-PRESET.
tier() {
    local label="$1" preset="$2" log="$scratch/ctest-$2.log" total skipped names
    local summary="$scratch/summary-$2"
    shift 2
    echo "== tests: $label"
    ctest --preset "$preset" "$@" 2>&1 | tee "$log"
    total="$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)"
    skipped="$(grep -c '(Skipped)' "$log" || true)"
    if [ "$skipped" -eq 0 ]; then
        echo "ran      $label: ${total:-0} tests" >>"$summary"
    else
        names="$(sed -n 's/.* - \([^ ]*\) (Skipped).*/\1/p' "$log" | tr '\n' ' ')"
        echo "ran      $label: $((total - skipped)) of $total tests" >>"$summary"
        echo "SKIPPED  $label: ${names% } ($PELMORA_WINE32_WHY)" >>"$summary"
    fi
}
# windows_tier LABEL PRESET PREFIX DISPLAY: a Windows tier in its own prefix and on its own display.
windows_tier() {
    export WINEPREFIX="$3" DISPLAY="$4"
    tier "$1" "$2" -j "$jobs"
}
# A virtual display for one Windows tier: DISPLAY and xvfb_pid are the new one's.
new_display() {
    start_virtual_display
    xvfb_pids+=("$xvfb_pid")
}

timed "build win32" build win32
if ! await prefix-win64 || ! await prefix-win32; then
    echo "test.sh: stopping: no Wine prefix, so no Windows test can run" >&2
    exit 1
fi
new_display
beside "tests win32" windows_tier "win32 under Wine (WoW64)" win32 "$scratch/prefix-win32" "$DISPLAY"
timed "build win64" build win64
echo "== build the installers"
timed "build installers" cmake --build --preset win64 -j "$jobs" --target installers
# The win64 tier takes the display the caller gave, when there is one.
if [ -n "$caller_display" ]; then export DISPLAY="$caller_display"; else new_display; fi
beside "tests win64" windows_tier "win64 under Wine" win64 "$scratch/prefix" "$DISPLAY"

timed "build linux" build linux
timed "build linux-asan" build linux-asan
echo "== clang-tidy"
timed clang-tidy env PELMORA_JOBS="$jobs" ./scripts/tidy.sh

echo "== fuzzing: each libFuzzer target for a short bounded run"
timed fuzzing env PELMORA_JOBS="$jobs" ./scripts/fuzz.sh "${PELMORA_FUZZ_SECONDS:-20}"
echo "ran      fuzzing: each libFuzzer target for ${PELMORA_FUZZ_SECONDS:-20} s" >"$scratch/summary-fuzz"

timed "tests linux" tier "linux (native)" linux -j "$jobs"
timed "tests linux-asan" tier "linux-asan (AddressSanitizer, UndefinedBehaviorSanitizer)" linux-asan -j "$jobs"
await "tests win64" show
if [ "$PELMORA_WINE32" = no ]; then
    echo "note     win64 under Wine: the installer tests used Setup built with the 64-bit stub; the shipped 32-bit one cannot run here" >>"$scratch/summary-win64"
fi
await "tests win32" show

echo "== summary ($(pelmora_wine_describe))"
cat "$scratch"/summary-{fuzz,linux,linux-asan,win64,win32} | sed 's/^/  /'
echo "== time per step (steps under \"beside\" ran alongside others; total $((SECONDS / 60))m$((SECONDS % 60))s)"
while IFS=$'\t' read -r name seconds; do
    printf '  time     %-24s %3dm%02ds\n' "$name" $((seconds / 60)) $((seconds % 60))
done <"$scratch/timings"
echo "== all tests passed"
