#!/usr/bin/env bash
# Sets up, builds and runs every test: the portable core natively and under the sanitizers, and
# the Windows binaries under Wine (a fresh temporary prefix, on a virtual X display).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/virtual_display.sh

./scripts/setup.sh

echo "== format check"
git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build/' \
    | xargs -r clang-format --dry-run --Werror

jobs="${PELMORA_JOBS:-$(nproc)}"
for preset in linux linux-asan win32 win64; do
    echo "== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
done

scratch="$(mktemp -d /tmp/pelmora-test.XXXXXX)"
xvfb_pid=""
cleanup() {
    WINEPREFIX="$scratch/prefix" wineserver -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

export WINEPREFIX="$scratch/prefix"
if [ -z "${DISPLAY:-}" ]; then
    start_virtual_display
fi

echo "== tests: linux"
ctest --preset linux -j "$jobs"
echo "== tests: linux-asan"
ctest --preset linux-asan -j "$jobs"
echo "== tests: win64 under Wine"
./scripts/wine-run.sh cmd /c exit >/dev/null 2>&1 || true   # initialise the prefix once
ctest --preset win64 -j "$jobs"
echo "== tests: win32 under Wine (WoW64)"
ctest --preset win32
echo "== fuzzing: each libFuzzer target for a short bounded run"
PELMORA_JOBS="$jobs" ./scripts/fuzz.sh "${PELMORA_FUZZ_SECONDS:-20}"
echo "== all tests passed"
