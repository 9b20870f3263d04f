#!/usr/bin/env bash
# Setup and the uninstaller when things are not as they should be: a registration that fails on a
# clean machine and over an installation, an upgrade in place, files deleted by hand before
# uninstalling, and the uninstaller run a second time.
# Usage: faults_test.sh SETUP_EXE FAILING_SETUP_EXE DRIVER_EXE BUILT_EXE BUILT_DLL
set -euo pipefail
setup_exe="$1" failing_setup_exe="$2" driver_exe="$3" built_exe="$4" built_dll="$5"
source "$(dirname "$0")/wine_machine.sh"
new_machine

partial_key='HKLM\Software\Classes\PelmoraFailedRegistration'
key_absent() { ! wine reg query "$1" >/dev/null 2>&1; }
only_installed_files() { # nothing but the three installed files in the folder
    [ "$(cd "$install_dir" && ls | sort | tr '\n' ' ')" = "Pelmora.exe PelmoraExt.dll Uninstall.exe " ]
}
installed_build() {
    same_file "$install_dir/Pelmora.exe" "$built_exe" && same_file "$install_dir/PelmoraExt.dll" "$built_dll"
}

step "a failed registration on a clean machine"
check "Setup reports the failure (exit code 2)" [ "$(exit_code "$failing_setup_exe" /S)" = 2 ]
check "no folder left in Program Files" [ ! -e "$install_dir" ]
check "no registration and no Apps & features entry" driver unregistered
check "what the failed registration wrote is removed" key_absent "$partial_key"

step "an installation, then the same again over it"
check "first Setup succeeds" [ "$(exit_code "$setup_exe" /S)" = 0 ]
echo "upgrade" >>"$install_dir/Pelmora.exe"  # an older program file, to see it replaced
check "Setup over the installation succeeds" [ "$(exit_code "$setup_exe" /S)" = 0 ]
check "the files are the new ones" installed_build
check "no files set aside are left behind" only_installed_files
check "the registration is complete" driver registered "$install_dir_win"

step "a failed registration over an installation"
check "Setup reports the failure (exit code 2)" [ "$(exit_code "$failing_setup_exe" /S)" = 2 ]
check "the previous files are back" installed_build
check "nothing else is left in the folder" only_installed_files
check "the previous registration works again" driver registered "$install_dir_win"
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

finish
