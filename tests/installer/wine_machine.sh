# Shared by the installer tests: a fresh Wine machine of their own, and a few helpers.
# Sourced, not run. Sets WINEPREFIX and drive_c; removes the machine on exit.

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/wine-env.sh"
# Paths with non-ASCII names cross from the shell into Windows programs as UTF-8.
export LC_ALL=C.UTF-8

machine="$(mktemp -d /tmp/pelmora-installer.XXXXXX)"
export WINEPREFIX="$machine/prefix"
pelmora_wine_probe || { rm -rf "$machine"; exit 1; }
drive_c="$WINEPREFIX/drive_c"
install_dir="$drive_c/Program Files/Pelmora"
install_dir_win='C:\Program Files\Pelmora'

remove_machine() {
    timeout 20 "$PELMORA_WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$machine"
}
trap remove_machine EXIT

failures=0
step() { echo "== $*"; }
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() { # check DESCRIPTION COMMAND...: runs the command, counts a failure when it fails
    local what="$1"
    shift
    if "$@"; then echo "ok: $what"; else fail "$what"; fi
}

# Waits until every program of the machine has ended (the uninstaller runs as a copy of itself
# that outlives the process that was started).
settle() { timeout 60 "$PELMORA_WINESERVER" -w || fail "programs still running after 60 s"; }

new_machine() {
    pelmora_wine_prefix || exit 1
    settle
}

# The installer users download is a 32-bit program. Where this host cannot run one, the same
# script built with the 64-bit stub stands in for it: pick_setup SHIPPED AMD64 [quiet]
pick_setup() {
    local setup
    for setup in "$1" "$2"; do
        if [ ! -f "$setup" ]; then
            echo "FAIL: $setup is not built (cmake --build --preset win64 --target installers)" >&2
            exit 1
        fi
    done
    # Setup carries the built program; an older Setup would install something else.
    if [ -n "${built_exe:-}" ] && [ "$built_exe" -nt "$1" ]; then
        echo "FAIL: $1 is older than $built_exe (cmake --build --preset win64 --target installers)" >&2
        exit 1
    fi
    if [ "$PELMORA_WINE32" = yes ]; then
        echo "$1"
    else
        [ "${3:-}" = quiet ] ||
            echo "note: testing the installer built with the amd64-unicode stub, not the shipped 32-bit one: $PELMORA_WINE32_WHY" >&2
        echo "$2"
    fi
}

driver() { pelmora_wine "$driver_exe" "$@"; }

same_file() { cmp -s "$1" "$2"; }

# Exit code of one Windows program, without stopping the script.
exit_code() {
    local rc=0
    pelmora_wine "$@" || rc=$?
    echo "$rc"
}

# The machine-wide PATH as the registry holds it (what a new terminal starts with). reg.exe
# writes to a pipe in the OEM code page.
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
machine_path() {
    pelmora_wine reg query "$environment_key" /v PATH | iconv -f CP437 -t UTF-8 | tr -d '\r' |
        sed -n 's/^ *[Pp][Aa][Tt][Hh] \{1,\}REG_[A-Z_]*SZ \{4\}//p'
}
# How many entries of the machine PATH name the installation folder.
path_entries_of_install_dir() {
    machine_path | tr ';' '\n' | grep -ixcF "$install_dir_win" || true
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "all checks passed"
}
