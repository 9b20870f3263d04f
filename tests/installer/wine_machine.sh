# Shared by the installer tests: a fresh Wine machine of their own, and a few helpers.
# Sourced, not run. Sets WINEPREFIX and drive_c; removes the machine on exit.

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# Paths with non-ASCII names cross from the shell into Windows programs as UTF-8.
export LC_ALL=C.UTF-8

machine="$(mktemp -d /tmp/pelmora-installer.XXXXXX)"
export WINEPREFIX="$machine/prefix"
drive_c="$WINEPREFIX/drive_c"
install_dir="$drive_c/Program Files/Pelmora"
install_dir_win='C:\Program Files\Pelmora'

remove_machine() {
    timeout 20 wineserver -k >/dev/null 2>&1 || true
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
settle() { timeout 60 wineserver -w || fail "programs still running after 60 s"; }

new_machine() {
    # Off the display: the set-up shows a progress window that would take the keyboard focus.
    env -u DISPLAY wineboot -i >/dev/null 2>&1
    settle
}

driver() { wine "$driver_exe" "$@"; }

same_file() { cmp -s "$1" "$2"; }

# Exit code of one Windows program, without stopping the script.
exit_code() {
    local rc=0
    wine "$@" || rc=$?
    echo "$rc"
}

# The machine-wide PATH as the registry holds it (what a new terminal starts with). reg.exe
# writes to a pipe in the OEM code page.
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
machine_path() {
    wine reg query "$environment_key" /v PATH | iconv -f CP437 -t UTF-8 | tr -d '\r' |
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
