#!/usr/bin/env bash
# scripts/release.sh --check-version compares the version in every tag on HEAD that names one
# (whatever its spelling) with the project version, asks for the spelling v<version> when only
# the spelling differs, and leaves other tags alone.
set -euo pipefail
release="$(cd "$(dirname "$0")/../.." && pwd)/scripts/release.sh"
scratch="$(mktemp -d /tmp/pelmora-release-version.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
mkdir scripts && cp "$release" scripts/release.sh
printf 'project(Pelmora VERSION 1.0.0 LANGUAGES CXX)\n' >CMakeLists.txt
git init -q . && git add . && git -c user.name=t -c user.email=t@t.invalid commit -qm tree

failures=0
# case TAG EXPECTED: the check on a 1.0.0 tree with only TAG on HEAD; EXPECTED is "ok" or a text
# the refusal must hold
case_of() {
    local tag="$1" expected="$2" out rc=0
    git tag -l | xargs -r git tag -d >/dev/null
    git tag "$tag"
    out="$(bash scripts/release.sh --check-version 2>&1)" || rc=$?
    if [ "$expected" = ok ] && [ "$rc" -ne 0 ]; then
        echo "FAIL $tag: refused: $out"
    elif [ "$expected" != ok ] && [ "$rc" -eq 0 ]; then
        echo "FAIL $tag: accepted"
    elif [ "$expected" != ok ] && ! grep -qF -- "$expected" <<<"$out"; then
        echo "FAIL $tag: refused without saying \"$expected\": $out"
    else
        echo "ok   $tag"
        return 0
    fi
    failures=$((failures + 1))
}
case_of v1.0.0 ok
case_of before-cleanup ok
case_of build-42 ok
case_of 1.0.0 "spelled differently: tag v1.0.0 instead"
case_of V1.0.0 "spelled differently: tag v1.0.0 instead"
case_of release-1.0.0 "spelled differently: tag v1.0.0 instead"
case_of 2.0.0 "names version 2.0.0, which disagrees with the project version 1.0.0"
case_of V9.9.9 "names version 9.9.9, which disagrees"
case_of release-9.9.9 "names version 9.9.9, which disagrees"
case_of v1.0.0-rc1 "names version 1.0.0-rc1, which disagrees"
case_of v1 "names version 1, which disagrees"

[ "$failures" -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases passed"
