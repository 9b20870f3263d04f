#!/usr/bin/env bash
# Setup and the uninstaller when things are not as they should be: a registration that fails on a
# clean machine and over an installation, an upgrade in place, files deleted by hand before
# uninstalling, the uninstaller run a second time, and both while Explorer holds the extension.
# Usage: faults_test.sh SETUP_EXE SETUP_AMD64_EXE FAILING_SETUP_EXE FAILING_SETUP_AMD64_EXE
#                      DRIVER_EXE BUILT_EXE BUILT_DLL
# (the _AMD64 installers: the same ones with the 64-bit stub, where 32-bit programs cannot run)
set -euo pipefail
setup_exe="$1" setup_amd64_exe="$2" failing_setup_exe="$3" failing_setup_amd64_exe="$4"
driver_exe="$5" built_exe="$6" built_dll="$7"
# Silent Setup shows no window: stay off the display that window tests share.
unset DISPLAY
source "$(dirname "$0")/wine_machine.sh"
setup_exe="$(pick_setup "$setup_exe" "$setup_amd64_exe")"
failing_setup_exe="$(pick_setup "$failing_setup_exe" "$failing_setup_amd64_exe" quiet)"
new_machine

partial_key='HKLM\Software\Classes\PelmoraFailedRegistration'
key_absent() { ! pelmora_wine reg query "$1" >/dev/null 2>&1; }
only_installed_files() { # nothing but the installed files in the folder
    [ "$(cd "$install_dir" && ls | LC_ALL=C sort | tr '\n' ' ')" = \
        "LICENSE.txt Pelmora.exe PelmoraExt.dll THIRD-PARTY-NOTICES.txt Uninstall.exe pelmora-cli.exe " ]
}
path_once() { [ "$(path_entries_of_install_dir)" = 1 ]; }
installed_build() {
    same_file "$install_dir/Pelmora.exe" "$built_exe" && same_file "$install_dir/PelmoraExt.dll" "$built_dll"
}
spoke() { # Setup spoke the language $1 (as reg prints it)
    pelmora_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelmora' \
        /v InstallerLanguage /reg:64 | tr -d '\r' | grep -q "InstallerLanguage *REG_DWORD *$1\$"
}

step "a failed registration on a clean machine"
check "Setup reports the failure (exit code 2)" [ "$(exit_code "$failing_setup_exe" /S)" = 2 ]
check "no folder left in Program Files" [ ! -e "$install_dir" ]
check "no registration and no Apps & features entry" driver unregistered
check "what the failed registration wrote is removed" key_absent "$partial_key"
check "the PATH does not name the folder" [ "$(path_entries_of_install_dir)" = 0 ]

step "an installation, then the same again over it"
check "first Setup succeeds" [ "$(exit_code "$setup_exe" /S)" = 0 ]
echo "upgrade" >>"$install_dir/Pelmora.exe"  # an older program file, to see it replaced
# Told a language, Setup speaks it whatever Windows' is, and leaves it for the uninstaller.
check "Setup over the installation succeeds" [ "$(exit_code "$setup_exe" /S /LANG=1049)" = 0 ]
check "it spoke Russian (1049)" spoke 0x419
check "the files are the new ones" installed_build
check "no files set aside are left behind" only_installed_files
check "the registration is complete" driver registered "$install_dir_win"
check "the PATH names the folder once" path_once
# Here, on the machine's own short PATH: Wine cuts longer PATH values when it builds a new
# process's environment (Windows does not), so the end-to-end test's long PATH could not show this.
check "a new terminal finds pelmora-cli through the PATH" \
    [ "$(pelmora_wine cmd /c pelmora-cli --version | tr -d '\r')" = "pelmora-cli $PELMORA_EXPECTED_VERSION" ]

step "a failed registration over an installation"
check "Setup reports the failure (exit code 2)" [ "$(exit_code "$failing_setup_exe" /S)" = 2 ]
check "the previous files are back" installed_build
check "nothing else is left in the folder" only_installed_files
check "the previous registration works again" driver registered "$install_dir_win"
check "the PATH still names the folder once" path_once
check "what the failed registration wrote is removed" key_absent "$partial_key"

step "the uninstaller after the program files were deleted by hand"
cp "$install_dir/Uninstall.exe" "$drive_c/uninstall-copy.exe"
rm "$install_dir/PelmoraExt.dll" "$install_dir/Pelmora.exe"
check "the uninstaller ends with exit code 0" [ "$(exit_code "$install_dir_win\\Uninstall.exe" /S)" = 0 ]
settle
check "the folder is gone" [ ! -e "$install_dir" ]
check "the registration is gone, though the DLL was not there to remove it" \
    driver unregistered parents-kept

step "the uninstaller a second time"
check "it ends with exit code 0" \
    [ "$(exit_code 'C:\uninstall-copy.exe' /S "_?=$install_dir_win")" = 0 ]
check "nothing came back" driver unregistered
check "no folder was created" [ ! -e "$install_dir" ]

step "Setup and the uninstaller while Explorer holds the extension"
hold() { # hold NAME: keep the installed extension loaded until C:\NAME exists
    driver hold "C:\\$1" >"$machine/$1.log" &
    for _ in $(seq 100); do grep -q holding "$machine/$1.log" 2>/dev/null && break; sleep 0.2; done
    grep -q holding "$machine/$1.log"
}
names_gone() {
    [ ! -e "$install_dir/PelmoraExt.dll" ] && [ ! -e "$install_dir/Pelmora.exe" ] &&
        [ ! -e "$install_dir/pelmora-cli.exe" ]
}
set_aside_for_restart() { # exactly $1 files set aside, each to be deleted at the next restart
    local pending name
    pending="$(pelmora_wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
        /v PendingFileRenameOperations 2>/dev/null || true)"
    [ "$(ls "$install_dir" | grep -vc -e '^Pelmora.exe$' -e '^PelmoraExt.dll$' -e '^Uninstall.exe$' \
        -e '^pelmora-cli.exe$' -e '^LICENSE.txt$' -e '^THIRD-PARTY-NOTICES.txt$')" = "$1" ] || return 1
    for name in $(ls "$install_dir"); do
        case "$name" in
            Pelmora.exe | PelmoraExt.dll | Uninstall.exe | pelmora-cli.exe | LICENSE.txt | THIRD-PARTY-NOTICES.txt)
                continue
                ;;
        esac
        echo "$pending" | grep -qF "Pelmora\\$name" || return 1
    done
}
check "Setup succeeds" [ "$(exit_code "$setup_exe" /S)" = 0 ]
check "the extension is loaded" hold first-hold
check "Setup over the loaded extension succeeds" [ "$(exit_code "$setup_exe" /S)" = 0 ]
check "the new files are in place" installed_build
check "the loaded DLL was set aside, to be deleted at the next restart" set_aside_for_restart 1
check "the registration is complete" driver registered "$install_dir_win"
check "the new extension is loaded too" hold second-hold
check "the uninstaller ends with exit code 0" [ "$(exit_code "$install_dir_win\\Uninstall.exe" /S)" = 0 ]
# The uninstaller's copy of itself deletes Uninstall.exe near its end.
for _ in $(seq 100); do [ -e "$install_dir/Uninstall.exe" ] || break; sleep 0.2; done
sleep 1
check "the program, the DLL and pelmora-cli are gone by name" names_gone
check "the PATH no longer names the folder" [ "$(path_entries_of_install_dir)" = 0 ]
check "the loaded DLL was set aside, to be deleted at the next restart" set_aside_for_restart 2
check "the registration is gone" driver unregistered parents-kept
check "a new installation before the restart succeeds" [ "$(exit_code "$setup_exe" /S)" = 0 ]
check "and is complete" driver registered "$install_dir_win"
touch "$drive_c/first-hold" "$drive_c/second-hold"
wait || fail "a holder of the extension failed"

finish
