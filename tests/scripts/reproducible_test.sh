#!/usr/bin/env bash
# The release settings make the same bytes wherever the tree lies: two copies of the sources in
# directories of different names and depths, each configured as a release and built, give the same
# small shipped binaries byte for byte (the whole release: scripts/release.sh --verify).
# Usage: reproducible_test.sh SOURCE_DIR TOOLCHAIN_NAME TARGET...
set -euo pipefail
source_dir="$1" toolchain="$2"
shift 2
scratch="$(mktemp -d /tmp/pelmora-reproducible.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
# A real compiler run each time: a cache hit would hand the second build the first one's objects.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER

build() { # build DIR: copy the sources there, configure as a release, build the targets
    local dir="$1"
    shift
    mkdir -p "$dir"
    (cd "$source_dir" && cp -r CMakeLists.txt cmake app cli installer shellext store tasks text walk win "$dir/")
    cmake -S "$dir" -B "$dir/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$dir/cmake/$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DPELMORA_RELEASE=ON -DPELMORA_TESTS=OFF -DPELMORA_BENCH=OFF \
        >"$dir.log" 2>&1 && cmake --build "$dir/build" --target "$@" >>"$dir.log" 2>&1 ||
        { cat "$dir.log"; echo "FAIL: the build in $dir failed"; exit 1; }
}
first="$scratch/a"
second="$scratch/second-tree/with/another/depth"
build "$first" "$@"
build "$second" "$@"

status=0
for built in $(cd "$first/build" && find . -path ./CMakeFiles -prune -o \( -name "*.exe" -o -name "*.dll" \) -print | sort); do
    if cmp -s "$first/build/$built" "$second/build/$built"; then
        echo "ok   $built: identical ($(stat -c %s "$first/build/$built") bytes)"
    else
        echo "FAIL $built differs between the two directories:"
        cmp -l "$first/build/$built" "$second/build/$built" | head -5
        status=1
    fi
done
[ -n "${built:-}" ] || { echo "FAIL: nothing was built"; status=1; }
exit $status
