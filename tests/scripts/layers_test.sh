#!/usr/bin/env bash
# scripts/check-layers.sh on small trees: it passes one whose includes all go downwards, and fails
# on an upward include, whether it stands in a source file or in a header, naming the file; the
# same inside store/, whose status file lies below its database; and on SQLite's header anywhere
# but in the database's folder.
set -euo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layers.sh"
scratch="$(mktemp -d /tmp/pelmora-layers.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

# tree DIR: text/, store/ (its base, status/ and sqlite/) and app/, each including only what lies
# below it
tree() {
    mkdir -p "$1/text" "$1/store/status" "$1/store/sqlite" "$1/app"
    printf '#pragma once\n' >"$1/text/text_encoding.h"
    printf '#pragma once\n#include "text/text_encoding.h"\n' >"$1/store/folder_key.h"
    printf '#pragma once\n#include "store/folder_key.h"\n' >"$1/store/status/profile.h"
    printf '#pragma once\n#include "store/status/profile.h"\n' >"$1/store/sqlite/task_store.h"
    printf '#include "store/sqlite/task_store.h"\n' >"$1/store/sqlite/task_store.cpp"
    printf '#include "store/sqlite/task_store.h"\n#include "text/text_encoding.h"\n' >"$1/app/main.cpp"
}

failures=0
# rejected CASE FILE EXPECTED: the check of the tree in $scratch/bad fails, naming FILE and saying
# EXPECTED
rejected() {
    local out
    if out="$(bash "$check" "$scratch/bad" 2>&1)"; then
        echo "FAIL: $1: accepted"
        failures=$((failures + 1))
    elif ! grep -qF "$2:" <<<"$out" || ! grep -qF "$3" <<<"$out"; then
        echo "FAIL: $1: rejected without naming it: $out"
        failures=$((failures + 1))
    else
        echo "ok   $1: rejected"
    fi
}

tree "$scratch/good"
bash "$check" "$scratch/good" >/dev/null 2>&1 || { echo "FAIL: a tree of downward includes"; failures=$((failures + 1)); }

# An upward include, in a header and in a source file
for file in task_store.h task_store.cpp; do
    rm -rf "$scratch/bad" && tree "$scratch/bad"
    printf '#include "app/resource.h"\n' >>"$scratch/bad/store/sqlite/$file"
    rejected "store/sqlite/$file including app/" "store/sqlite/$file" "store/ must not include app/"
done

# Inside store/: the status file reaching up to the database, the base to the status file
rm -rf "$scratch/bad" && tree "$scratch/bad"
printf '#include "store/sqlite/task_store.h"\n' >>"$scratch/bad/store/status/profile.h"
rejected "store/status/ including store/sqlite/" "store/status/profile.h" "must not include store/sqlite/"
rm -rf "$scratch/bad" && tree "$scratch/bad"
printf '#include "store/status/profile.h"\n' >>"$scratch/bad/store/folder_key.h"
rejected "store's base including store/status/" "store/folder_key.h" "must not include store/status/"

# SQLite's header outside store/sqlite/, in either spelling: rejected naming the file; in
# store/sqlite/ it passes
for spelling in '<sqlite3.h>' '"sqlite3.h"'; do
    for file in app/main.cpp store/status/profile.h; do
        rm -rf "$scratch/bad" && tree "$scratch/bad"
        printf '#include %s\n' "$spelling" >>"$scratch/bad/$file"
        printf '#include %s\n' "$spelling" >>"$scratch/bad/store/sqlite/task_store.cpp"
        rejected "$file including $spelling" "$file" "only store/sqlite/ may include sqlite3.h"
        if bash "$check" "$scratch/bad" 2>&1 | grep -qF "store/sqlite/task_store.cpp"; then
            echo "FAIL: $spelling rejected in store/sqlite/"
            failures=$((failures + 1))
        fi
    done
done

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
