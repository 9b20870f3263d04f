#!/usr/bin/env bash
# Sets up, builds and runs every test: the portable core natively and under the sanitizers, and
# the Windows binaries under Wine (a fresh temporary prefix, on a virtual X display). Each tier is
# a preset's workflow (CMakePresets.json: configure, build, test), run one after the other: the
# window tests fail under the load of a build beside them. Ends with a summary of the tiers that
# ran and of the tests skipped, and why (from ctest's JUnit files), and of the time each step took.
#
# clang-tidy and fuzzing want the processors but no window, and the Windows tiers spend most of
# their time waiting on windows (a quarter of two cores busy): the first two run beside the
# Windows tiers at the lowest priority, so that neither a build nor a window test waits for them.
# Each writes to a log of its own, shown when the tiers are done; a failure in either fails the
# command.
#
# PELMORA_HOST_64BIT_ONLY=1 makes a host that can run 32-bit programs behave as one that cannot.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/virtual_display.sh
. scripts/lib/wine-env.sh

# timed NAME COMMAND...: runs a step and notes how long it took, for the summary (a failing step
# ends the command, as before).
timings=()
summary=()
note_time() {
    local took=$((SECONDS - $2))
    timings+=("$(printf '%-22s %3dm%02ds' "$1" $((took / 60)) $((took % 60)))")
}
timed() {
    local name="$1" start=$SECONDS
    shift
    "$@"
    note_time "$name" "$start"
}

timed setup ./scripts/setup.sh

scratch="$(mktemp -d /tmp/pelmora-test.XXXXXX)"
xvfb_pid=""
declare -A beside_pid=()
# Stops a process and all it started, children first.
stop_tree() {
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do stop_tree "$child"; done
    kill "$1" 2>/dev/null || true
}
cleanup() {
    local pid
    for pid in "${beside_pid[@]}"; do stop_tree "$pid"; done
    [ -n "${PELMORA_WINESERVER:-}" ] && timeout 20 "$PELMORA_WINESERVER" -k >/dev/null 2>&1 || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT

# Decide once how Windows programs start here, and make the prefix the Windows tests share;
# a host where Wine cannot run at all stops here, with the cause.
echo "== Wine"
export WINEPREFIX="$scratch/prefix"
pelmora_wine_probe || { echo "test.sh: stopping: Wine cannot run programs on this host" >&2; exit 1; }
pelmora_wine_describe
start=$SECONDS
pelmora_wine_prefix || { echo "test.sh: stopping: no Wine prefix, so no Windows test can run" >&2; exit 1; }
note_time "Wine prefix" "$start"

echo "== format check"
format_check() {
    git ls-files -co --exclude-standard -- '*.cpp' '*.h' | grep -v '^build/' \
        | xargs -r clang-format --dry-run --Werror
}
timed "format check" format_check

jobs="${PELMORA_JOBS:-$(nproc)}"
export CMAKE_BUILD_PARALLEL_LEVEL="$jobs"

if [ -z "${DISPLAY:-}" ]; then
    start_virtual_display
fi

# tier LABEL PRESET: runs the preset's workflow (configure, build, test: CMakePresets.json), notes
# the time of each of its steps, and what ran and what was skipped, and why, from the JUnit file
# its tests write.
tier() {
    local label="$1" preset="$2" junit="build/$2/junit.xml" marks="$scratch/steps-$2" line
    echo "== $label: workflow $preset"
    rm -f "$junit"
    cmake --workflow --preset "$preset" 2>&1 | while IFS= read -r line; do
        case "$line" in
        "Executing workflow step "*) echo "$SECONDS ${line##*: }" >>"$marks" ;;
        esac
        printf '%s\n' "$line"
    done
    echo "$SECONDS" >>"$marks"
    # ctest writes its JUnit file at its very end: without it the tier did not finish, whatever the
    # workflow's exit code said; with it, any failed or unrun test fails the command.
    if [ ! -s "$junit" ]; then
        echo "test.sh: $label: no test report ($junit): the tests did not finish" >&2
        exit 1
    fi
    if ! python3 - "$junit" <<'PY'
import sys
import xml.etree.ElementTree as ET

bad = [c.get("name") for c in ET.parse(sys.argv[1]).getroot().iter("testcase")
       if c.find("failure") is not None or c.find("error") is not None
       or (c.get("status") in ("fail", "notrun") and c.find("skipped") is None)]
if bad:
    print("test.sh: failed or not run: " + ", ".join(bad), file=sys.stderr)
    sys.exit(1)
PY
    then
        exit 1
    fi
    # The marks: the second each step began ("SECONDS kind preset NAME"), then the end.
    while IFS= read -r line; do
        timings+=("$line")
    done < <(awk 'NR > 1 { t = $1 - from; printf "%-22s %3dm%02ds\n", preset " " kind, t / 60, t % 60 }
                  { from = $1; kind = $2 }' preset="$preset" "$marks")
    while IFS= read -r line; do
        summary+=("$line")
    done < <(python3 - "$label" "$junit" <<'PY'
import sys
import xml.etree.ElementTree as ET

label, junit = sys.argv[1], sys.argv[2]
cases = list(ET.parse(junit).getroot().iter("testcase"))
skipped = []
for case in cases:
    mark = case.find("skipped")
    if mark is not None:
        # A test says why on its first "SKIPPED:" line; ctest's own words when it does not.
        out = (case.findtext("system-out") or "").splitlines()
        why = next((l.split("SKIPPED: ", 1)[1] for l in out if "SKIPPED: " in l), mark.get("message"))
        skipped.append("SKIPPED  %s: %s (%s)" % (label, case.get("name"), (why or "no reason given").strip()))
if skipped:
    print("ran      %s: %d of %d tests" % (label, len(cases) - len(skipped), len(cases)))
else:
    print("ran      %s: %d tests" % (label, len(cases)))
for line in skipped:
    print(line)
PY
    )
}

# beside NAME COMMAND...: starts a step in the background at the lowest priority, its output in a
# log of its own. await_beside NAME: waits for it, shows its log and notes its time; a failed step
# fails the command.
beside() {
    local name="$1"
    shift
    echo "== $name: started beside the Windows tiers at the lowest priority (its output follows them)"
    (
        start=$SECONDS
        rc=0
        nice -n 19 "$@" || rc=$?
        echo $((SECONDS - start)) >"$scratch/beside-$name.time"
        exit "$rc"
    ) >"$scratch/beside-$name.log" 2>&1 &
    beside_pid[$name]=$!
}
await_beside() {
    local name="$1" rc=0 took
    wait "${beside_pid[$name]}" || rc=$?
    unset "beside_pid[$name]"
    echo "== $name (ran beside the Windows tiers)"
    cat "$scratch/beside-$name.log"
    took="$(cat "$scratch/beside-$name.time" 2>/dev/null || echo 0)"
    timings+=("$(printf '%-22s %3dm%02ds' "$name (beside)" $((took / 60)) $((took % 60)))")
    if [ "$rc" -ne 0 ]; then
        echo "test.sh: $name failed (above)" >&2
        exit "$rc"
    fi
}

CTEST_PARALLEL_LEVEL="$jobs" tier "linux (native)" linux
CTEST_PARALLEL_LEVEL="$jobs" tier "linux-asan (AddressSanitizer, UndefinedBehaviorSanitizer)" linux-asan

# clang-tidy reads the compile commands of the native and the x64 builds: the latter is configured
# here, before the Windows builds, so that both background steps can use every idle moment.
cmake --preset win64 >/dev/null
beside clang-tidy env PELMORA_JOBS="$jobs" ./scripts/tidy.sh
beside fuzzing env PELMORA_JOBS="$jobs" ./scripts/fuzz.sh "${PELMORA_FUZZ_SECONDS:-20}"
# The x86 tests run one at a time; the x64 build then brings the installers up to date as well.
tier "win32 under Wine (WoW64)" win32
CTEST_PARALLEL_LEVEL="$jobs" tier "win64 under Wine" win64
if [ "$PELMORA_WINE32" = no ]; then
    summary+=("note     win64 under Wine: the installer tests used Setup built with the 64-bit stub; the shipped 32-bit one cannot run here")
fi

await_beside clang-tidy
await_beside fuzzing
summary+=("ran      fuzzing: each libFuzzer target for ${PELMORA_FUZZ_SECONDS:-20} s")
summary+=("ran      clang-tidy: every source of the product")

echo "== summary ($(pelmora_wine_describe))"
printf '  %s\n' "${summary[@]}"
echo "== time per step (total $((SECONDS / 60))m$((SECONDS % 60))s)"
printf '  time     %s\n' "${timings[@]}"
echo "== all tests passed"
