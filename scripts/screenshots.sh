#!/usr/bin/env bash
# Leaves PNG pictures of Pelmora's windows in a folder (default build/screenshots): the main
# window with open and done tasks and a long title, with an open and a done task selected, the
# editor in edit and add mode, a confirmation, the about box, the empty list of a renamed item,
# the "Recover Tasks..." dialog and the "Tasks Below This Folder" window. They are taken on a Wine
# virtual desktop, so frames, captions and the menu bar show. Builds the win64 preset when needed
# and starts a virtual X display when there is none.
#
# The same pictures follow on displays at 150% and 200% (144 and 192 DPI, in the sub-folders
# "144dpi" and "192dpi") and in a high-contrast scheme ("high-contrast"), each in a Wine prefix
# of its own beside the usual one.
#
# Then the translations: the long pseudo-language "qps-ploc" (sub-folders "qps-ploc" and, at 150%,
# "qps-ploc-144dpi"), the mirrored one "qps-plocm" and every language Pelmora speaks (sub-folders
# "de", "fr", "es", "pt-BR", "ru", "ja", "zh-CN", "ko"), chosen with "/lang:".
#
#   scripts/screenshots.sh [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
. scripts/lib/window_capture.sh
out="${1:-build/screenshots}"
build="${PELMORA_BUILD_DIR:-build/win64}"

if [ "$build" = build/win64 ] && [ ! -f build/win64/build.ninja ]; then
    cmake --preset win64 >/dev/null
fi
cmake --build "$build" --target Pelmora show_driver high_contrast_hook >/dev/null
case "$build" in /*) ;; *) build="$root/$build" ;; esac

# One folder per checkout, the same on every run: "Tasks Below This Folder" shows its path in the
# caption, and pictures of one checkout are compared run against run.
scratch="/tmp/pelmora-shots-$(printf '%s' "$root" | md5sum | cut -c1-8)"
rm -rf "$scratch"
mkdir -p "$scratch"
trap capture_cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    start_virtual_display
fi

pelmora_wine_probe || exit 1
pelmora_wine_prefix || exit 1
base_prefix="$WINEPREFIX"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
shots=(main main-selected-open main-selected-done editor-edit editor-add confirm-remove about
    main-empty recover below)

# The colours of a high-contrast scheme (white on black, cyan selection), which Wine takes from
# the registry when a program starts.
high_contrast_colours=(
    "Window=0 0 0" "WindowText=255 255 255" "Hilight=26 235 255" "HilightText=0 0 0"
    "GrayText=63 242 63" "ButtonFace=0 0 0" "ButtonText=255 255 255" "Menu=0 0 0"
    "MenuText=255 255 255" "ActiveTitle=0 0 255" "TitleText=255 255 255" "Background=0 0 0"
    "ButtonShadow=255 255 255" "ButtonHilight=255 255 255" "WindowFrame=255 255 255"
    "MenuBar=0 0 0" "MenuHilight=26 235 255" "InactiveTitle=0 255 0"
    "InactiveTitleText=0 0 0" "ActiveBorder=0 0 255" "InactiveBorder=0 255 0"
)

# take <sub-folder> <prefix> <desktop size> <driver command> [language tag]
take() {
    local folder="$out${1:+/$1}" prefix="$2" size="$3" command="$4" language=("${@:5}")
    local sync="$scratch/sync-${1:-96dpi}" items="$scratch/items-${1:-96dpi}"
    local desktop="shots$$-${1:-96dpi}"
    mkdir -p "$folder" "$sync" "$items"
    WINEPREFIX="$prefix" "$root/scripts/wine-run.sh" explorer "/desktop=$desktop,$size" \
        "$(winpath "$build/tests/app/show_driver.exe")" "$command" \
        "$(winpath "$items")" "$(winpath "$sync")" "${language[@]}" >"$scratch/driver.log" 2>&1 &
    driver_pid=$!
    for name in "${shots[@]}"; do
        if ! capture_state "$sync" "$name" "$desktop" "$folder/$name.png"; then
            echo "screenshots: the program never reached the state \"$name\" (${1:-96 DPI})" >&2
            cat "$scratch/driver.log" >&2
            exit 1
        fi
    done
    capture_wait_driver
    driver_pid=""
    WINEPREFIX="$prefix" pelmora_wineserver -w 2>/dev/null || true
}

# A prefix beside the usual one, made on first use, with `reg add` arguments applied to it.
prefix_with() {
    local prefix="$1" key="$2"
    shift 2
    local entry
    for entry in "$@"; do
        WINEPREFIX="$prefix" "$root/scripts/wine-run.sh" reg add "$key" /v "${entry%%=*}" \
            /t "${type:-REG_SZ}" /d "${entry#*=}" /f >/dev/null 2>&1
    done
}

take "" "$base_prefix" 1024x768 shots
for dpi in 144 192; do
    prefix="$base_prefix-dpi$dpi"
    type=REG_DWORD prefix_with "$prefix" 'HKCU\Control Panel\Desktop' "LogPixels=$dpi"
    type=REG_DWORD prefix_with "$prefix" \
        'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' "LogPixels=$dpi"
    # The 200% windows are taller than a 768-pixel desktop.
    take "${dpi}dpi" "$prefix" "$([ "$dpi" = 192 ] && echo 1280x960 || echo 1024x768)" shots
done
prefix_with "$base_prefix-highcontrast" 'HKCU\Control Panel\Colors' "${high_contrast_colours[@]}"
take high-contrast "$base_prefix-highcontrast" 1024x768 shots-high-contrast
take qps-ploc "$base_prefix" 1024x768 shots qps-ploc
take qps-ploc-144dpi "$base_prefix-dpi144" 1024x768 shots qps-ploc
take qps-plocm "$base_prefix" 1024x768 shots qps-plocm
languages=(de fr es pt-BR ru ja zh-CN ko)
for language in "${languages[@]}"; do
    take "$language" "$base_prefix" 1024x768 shots "$language"
done
echo "screenshots: ${#shots[@]} pictures each in $out, $out/144dpi, $out/192dpi," \
    "$out/high-contrast, $out/qps-ploc, $out/qps-ploc-144dpi, $out/qps-plocm and the languages" \
    "(${languages[*]})"
