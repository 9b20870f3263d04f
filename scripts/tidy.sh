#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the product's sources: the portable ones with the
# native build's compile commands, the Windows ones with the win64 build's, read by clang as a
# MinGW-w64 target with the MinGW C++ headers. Both builds must be configured.
#
#   scripts/tidy.sh [files...]        (default: every source of text/ store/ tasks/ cli/ app/ shellext/
#                                      installer/)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${PELMORA_JOBS:-$(nproc)}"

if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(git ls-files -- 'text/*.cpp' 'store/*.cpp' 'tasks/*.cpp' 'cli/*.cpp' 'app/*.cpp' \
        'shellext/*.cpp' 'installer/*.cpp')
fi
portable=() windows=()
for f in "${files[@]}"; do
    case "$f" in
    app/* | shellext/* | installer/* | *_win.cpp) windows+=("$f") ;;
    *) portable+=("$f") ;;
    esac
done

mingw=x86_64-w64-mingw32
# The MinGW compiler's own C++ header folders (GCC's intrinsics headers stay clang's).
windows_args=(--extra-arg=--target=$mingw --extra-arg=-nostdinc++ --extra-arg=-Wno-c++11-narrowing)
while read -r dir; do
    case "$dir" in */include/c++* | /usr/$mingw/include | */$mingw/include) windows_args+=("--extra-arg=-isystem$dir") ;; esac
done < <(echo | "$mingw-g++-posix" -E -x c++ -v - 2>&1 | sed -n '/search starts here/,/End of search/p' |
    grep '^ /' | xargs -n1 realpath -m)

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
# tidy COMPILE-DB [ARGS...] -- FILES...
tidy() {
    local db="$1" args=()
    shift
    while [ "$1" != -- ]; do args+=("$1"); shift; done
    shift
    [ $# -gt 0 ] || return 0
    printf '%s\n' "$@" | xargs -P "$jobs" -n 4 clang-tidy -p "$db" --quiet "${args[@]}" >"$log" 2>&1 ||
        status=1
    grep -v -e ' warnings\? generated\.$' -e '^Suppressed ' -e '^Use -header-filter' "$log" || true
}
tidy build/linux -- "${portable[@]}"
tidy build/win64 "${windows_args[@]}" -- "${windows[@]}"
if [ "$status" -ne 0 ]; then
    echo "tidy: clang-tidy found problems (above)" >&2
    exit 1
fi
echo "tidy: ${#files[@]} files clean"
