#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each for the given number of seconds
# (default 20), starting from its committed seed corpus. New inputs go to a working corpus under
# build/fuzz/corpus, never into the tree; a crash leaves its input in build/fuzz/findings.
# Usage: scripts/fuzz.sh [seconds per target] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-20}"
shift || true
targets=("$@")
[ "${#targets[@]}" -eq 0 ] && targets=(text_fuzz profile_fuzz store_fuzz)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${PELMORA_JOBS:-2}" --target "${targets[@]}"

mkdir -p build/fuzz/findings
status=0
for target in "${targets[@]}"; do
    work="build/fuzz/corpus/$target"
    mkdir -p "$work"
    log="build/fuzz/$target.log"
    echo "== fuzz $target for ${seconds}s"
    # One worker: the machine is shared. -timeout turns a hang into a finding; -rss_limit_mb one
    # for memory. The seed corpus is read, only the working corpus is written.
    if ! "build/fuzz/fuzz/$target" "$work" "fuzz/corpus/$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/findings/$target-" >"$log" 2>&1; then
        status=1
        echo "!! $target found a fault; input in build/fuzz/findings, log in $log"
        tail -n 40 "$log"
    fi
    grep -E '^stat::number_of_executed_units|^Done [0-9]+ runs' "$log" || true
done
exit "$status"
