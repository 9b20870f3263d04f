#!/usr/bin/env bash
# scripts/check-layers.sh on small trees: it passes one whose includes all go downwards, and fails
# on an upward include, whether it stands in a source file or in a header, naming the file.
set -euo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layers.sh"
scratch="$(mktemp -d /tmp/pelmora-layers.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

# tree DIR: text/, store/ and app/, each including only what lies below it
tree() {
    mkdir -p "$1/text" "$1/store" "$1/app"
    printf '#pragma once\n' >"$1/text/text_encoding.h"
    printf '#pragma once\n#include "text/text_encoding.h"\n' >"$1/store/task_store.h"
    printf '#include "store/task_store.h"\n' >"$1/store/task_store.cpp"
    printf '#include "store/task_store.h"\n#include "text/text_encoding.h"\n' >"$1/app/main.cpp"
}

failures=0
tree "$scratch/good"
bash "$check" "$scratch/good" >/dev/null 2>&1 || { echo "FAIL: a tree of downward includes"; failures=$((failures + 1)); }

# upward FILE: store/FILE includes a header of app/; the check must fail naming store/FILE
for file in task_store.h task_store.cpp; do
    rm -rf "$scratch/bad" && tree "$scratch/bad"
    printf '#include "app/resource.h"\n' >>"$scratch/bad/store/$file"
    if out="$(bash "$check" "$scratch/bad" 2>&1)"; then
        echo "FAIL: store/$file including app/: accepted"
        failures=$((failures + 1))
    elif ! grep -qF "store/$file:" <<<"$out" || ! grep -qF "store/ must not include app/" <<<"$out"; then
        echo "FAIL: store/$file including app/: rejected without naming it: $out"
        failures=$((failures + 1))
    else
        echo "ok   store/$file including app/: rejected"
    fi
done

# SQLite's header outside store/, in either spelling: rejected naming the file; in store/: passes
for spelling in '<sqlite3.h>' '"sqlite3.h"'; do
    rm -rf "$scratch/bad" && tree "$scratch/bad"
    printf '#include %s\n' "$spelling" >>"$scratch/bad/app/main.cpp"
    printf '#include %s\n' "$spelling" >>"$scratch/bad/store/task_store.cpp"
    if out="$(bash "$check" "$scratch/bad" 2>&1)"; then
        echo "FAIL: app/ including $spelling: accepted"
        failures=$((failures + 1))
    elif ! grep -qF "app/main.cpp:3: only store/ may include sqlite3.h" <<<"$out" ||
        grep -qF "store/task_store.cpp" <<<"$out"; then
        echo "FAIL: $spelling: not rejected in app/ alone: $out"
        failures=$((failures + 1))
    else
        echo "ok   app/ including $spelling: rejected"
    fi
done

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
