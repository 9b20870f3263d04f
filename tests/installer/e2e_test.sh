#!/usr/bin/env bash
# One use of Pelmora on a fresh Wine machine, from Setup to the uninstaller, as a person and
# Explorer would go through it: install, right-click a folder, add and finish tasks, watch the
# overlays follow, uninstall.
# Usage: e2e_test.sh SETUP_EXE SETUP_AMD64_EXE DRIVER_EXE BUILT_EXE BUILT_DLL SQLITE3 BUILT_CLI
# (SETUP_AMD64_EXE: the same installer with the 64-bit stub, taken where 32-bit programs cannot run)
set -euo pipefail
setup_exe="$1" setup_amd64_exe="$2" driver_exe="$3" built_exe="$4" built_dll="$5" sqlite3="$6"
built_cli="$7"

if [ -z "${DISPLAY:-}" ]; then
    echo "SKIPPED: no X display (DISPLAY is unset); Pelmora's windows need one"
    exit 77
fi
source "$(dirname "$0")/wine_machine.sh"
setup_exe="$(pick_setup "$setup_exe" "$setup_amd64_exe")"
new_machine

step "0. a machine PATH longer than the installer's strings hold"
# Setup must keep every entry: longer than 1024 characters, an empty entry, a non-ASCII one and a
# separator at the end.
long_path="$(machine_path)"
for i in $(seq 40); do long_path+=";C:\Tools\Suite $i\bin\with-a-rather-long-folder-name"; done
long_path+=";;C:\Werkzeuge\Übung\bin;"
pelmora_wine reg add "$environment_key" /v PATH /t REG_EXPAND_SZ /d "$long_path" /f >/dev/null
check "the PATH set for the test is longer than 1024 characters and reads back" \
    [ "${#long_path}" -gt 1024 -a "$(machine_path)" = "$long_path" ]

step "1. silent install"
check "Setup /S ends with exit code 0" [ "$(exit_code "$setup_exe" /S)" = 0 ]
check "Pelmora.exe installed" same_file "$install_dir/Pelmora.exe" "$built_exe"
check "PelmoraExt.dll installed" same_file "$install_dir/PelmoraExt.dll" "$built_dll"
check "pelmora-cli.exe installed beside them" same_file "$install_dir/pelmora-cli.exe" "$built_cli"
check "the PATH is what it was, with the installation folder once at its end" \
    [ "$(machine_path)" = "$long_path;$install_dir_win" ]
check "the licence installed beside them" grep -q "^MIT License" "$install_dir/LICENSE.txt"
check "the third-party notices installed beside them" \
    grep -q "^== MinGW-w64 runtime ==" "$install_dir/THIRD-PARTY-NOTICES.txt"
check "uninstaller written" [ -f "$install_dir/Uninstall.exe" ]
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelmora'
display_version() { # DisplayVersion as Apps & features and winget read it
    pelmora_wine reg query "$uninstall_key" /v DisplayVersion /reg:64 | tr -d '\r' |
        sed -n 's/^ *DisplayVersion \{1,\}REG_SZ \{4\}//p'
}
check "Apps & features shows version $PELMORA_EXPECTED_VERSION" \
    [ "$(display_version)" = "$PELMORA_EXPECTED_VERSION" ]
check "every installed binary, the uninstaller too, carries that version in its version block" \
    python3 "$PELMORA_PE_VERSION" check "$PELMORA_EXPECTED_VERSION" "$install_dir/Pelmora.exe" \
    "$install_dir/PelmoraExt.dll" "$install_dir/pelmora-cli.exe" \
    "$install_dir/Uninstall.exe=Pelmora-$PELMORA_EXPECTED_VERSION-Setup.exe"
check "registry entries of the registration and of Apps & features" \
    driver registered "$install_dir_win"
installer_language() { # the language Setup spoke, which the uninstaller speaks too
    pelmora_wine reg query "$uninstall_key" /v InstallerLanguage /reg:64 | tr -d '\r' |
        sed -n 's/^ *InstallerLanguage \{1,\}REG_DWORD \{4\}//p'
}
installation() { # the installed files and the Apps & features entry, bar Setup's language
    (cd "$install_dir" && md5sum -- *) &&
        pelmora_wine reg query "$uninstall_key" /reg:64 | tr -d '\r' | grep -v InstallerLanguage
}
check "Setup spoke Windows' language, English (1033)" [ "$(installer_language)" = 0x409 ]
english_installation="$(installation)"

step "2. a folder tree"
projects="$drive_c/e2e/Projects"
projects_win='C:\e2e\Projects'
mkdir -p "$projects/Alpha" "$projects/Übung"
echo "quarterly figures" >"$projects/report.txt"

# The folder key: the MD5 of the name's UTF-8 bytes.
alpha_key="$(printf '%s' Alpha | md5sum | cut -c1-32)"
db="$projects/pelmora.db"
ini="$projects/pelmora.ini"
settings="$drive_c/ProgramData/Pelmora/config.ini"
ini_value() { # the value under a key of the status file, empty when missing
    [ -f "$ini" ] || return 0
    tr -d '\r' <"$ini" | sed -n "s/^$1=//p"
}
tasks() { # title, done and priority of Alpha's rows in priority order, titles decoded
    "$sqlite3" -separator ' ' "$db" "select title, done, priority from tbl_$alpha_key order by priority;" |
        while read -r title done priority; do
            echo "$(printf '%s' "$title" | base64 -d)|$done|$priority"
        done
}
caption=" Pelmora - Alpha"
program_win="$install_dir_win\\Pelmora.exe"
titles="Write the outline|Collect the figures|Prüfung vorbereiten"
another_run() { # the context menu again, then mark entry $1 done and close
    driver context-menu "$projects_win\\Alpha" &&
        driver drive "$caption" "$program_win" "expect=$titles" "done=$1" close
}

step "3. right-click Alpha, choose \"Task Management...\""
check "the handler from the registry starts the program" driver context-menu "$projects_win\\Alpha"

step "4. the program opens for Alpha: add three tasks, mark one done, close"
check "caption \"$caption\", three tasks added, one done, closed" \
    driver drive "$caption" "$program_win" "expect=" \
    "add=Write the outline" "add=Collect the figures" "add=Prüfung vorbereiten" done=0 close

step "5. what the program wrote"
check "pelmora.db in the parent folder" [ -f "$db" ]
check "Alpha's table holds the three tasks, the first one done" [ "$(tasks)" = \
    "$(printf 'Write the outline|1|0\nCollect the figures|0|1\nPrüfung vorbereiten|0|2')" ]
check "pelmora.ini holds 1 under Alpha's key (one of three done)" [ "$(ini_value "$alpha_key")" = 1 ]
check "the settings file remembers the window size" grep -q wnd_main_width "$settings"

step "6. the overlays, as Explorer asks for them"
check "only the zero overlay claims Alpha" driver overlays "$projects_win\\Alpha" zero
check "none claims Übung" driver overlays "$projects_win\\Übung" none
check "none claims report.txt" driver overlays "$projects_win\\report.txt" none
check "none claims the drive root" driver overlays 'C:\' none

check "second run: the three tasks are back; the second one is marked done" another_run 1
check "pelmora.ini holds 2 (two of three done)" [ "$(ini_value "$alpha_key")" = 2 ]
check "only the half overlay claims Alpha" driver overlays "$projects_win\\Alpha" half

check "third run: the last task is marked done" another_run 2
check "pelmora.ini holds 3 (all done)" [ "$(ini_value "$alpha_key")" = 3 ]
check "only the done overlay claims Alpha" driver overlays "$projects_win\\Alpha" done
check "still none for Übung" driver overlays "$projects_win\\Übung" none

step "7. pelmora-cli from a new terminal, on the same lists"
cli() { pelmora_wine "$install_dir_win\\pelmora-cli.exe" "$@"; }
today="$(date +%F)"
check "it lists the three tasks the window added" [ "$(cli list "$projects_win\\Alpha")" = \
    "$(printf '1  [x]  %s  Write the outline\n2  [x]  %s  Collect the figures\n3  [x]  %s  Prüfung vorbereiten' \
        "$today" "$today" "$today")" ]
check "it adds a fourth task" cli add "$projects_win\\Alpha" "Aus dem Terminal ✓"
check "and writes Alpha's status entry: 2 (three of four done)" [ "$(ini_value "$alpha_key")" = 2 ]
check "the half overlay claims Alpha now" driver overlays "$projects_win\\Alpha" half
window_shows_cli_task() {
    driver context-menu "$projects_win\\Alpha" &&
        driver drive "$caption" "$program_win" "expect=$titles|Aus dem Terminal ✓" close
}
check "the window shows the task pelmora-cli added" window_shows_cli_task
check "status counts the folder's items as Explorer shows them" \
    [ "$(cli status "$projects_win")" = "half  3/4  Alpha" ]

step "8. silent uninstall"
user_data_before="$(md5sum "$db" "$ini" "$settings")"
check "the uninstaller ends with exit code 0" [ "$(exit_code "$install_dir_win\\Uninstall.exe" /S)" = 0 ]
settle
check "the installed files and their folder are gone" [ ! -e "$install_dir" ]
check "the PATH is exactly what it was before Setup" [ "$(machine_path)" = "$long_path" ]
check "the registration and the Apps & features entry are gone, the shared keys stay" \
    driver unregistered parents-kept
check "pelmora.db, pelmora.ini and the settings file remain unchanged" \
    [ "$(md5sum "$db" "$ini" "$settings" 2>&1)" = "$user_data_before" ]

step "9. Setup on German Windows, told a language it does not speak, and its uninstaller"
# Wine takes Windows' display language from the locale a program starts with.
on_german_windows() { env LC_ALL=de_DE.UTF-8 "$PELMORA_WINE_LOADER" "$@"; }
check "Setup /S /LANG=1040 ends with exit code 0" \
    on_german_windows "$setup_exe" /S /LANG=1040
check "Setup spoke Windows' language, German (1031), not one it lacks" \
    [ "$(installer_language)" = 0x407 ]
check "the same files and Apps & features entry as Setup in English" \
    [ "$(installation)" = "$english_installation" ]
check "the same registration" driver registered "$install_dir_win"
check "the PATH names the folder once at its end" [ "$(machine_path)" = "$long_path;$install_dir_win" ]
uninstaller_window() { # the uninstaller on English Windows opens with the caption $1; closed unused
    local window
    pelmora_wine "$install_dir_win\\Uninstall.exe" &
    window="$(timeout 30 xdotool search --sync --name "^$1" 2>/dev/null | head -1)"
    if [ -n "$window" ]; then
        for _ in $(seq 50); do # until the dialog is ready for the key
            xdotool key --window "$window" Escape 2>/dev/null
            sleep 0.2
            xdotool search --name "^$1" >/dev/null 2>&1 || break
        done
    else # one in another language waits for a click
        timeout 20 "$PELMORA_WINESERVER" -k
    fi
    wait
    settle
    [ -n "$window" ]
}
check "the uninstaller speaks German too" uninstaller_window "Deinstallation von Pelmora"
check "the uninstaller ends with exit code 0" [ "$(exit_code "$install_dir_win\\Uninstall.exe" /S)" = 0 ]
settle
check "the installed files and their folder are gone" [ ! -e "$install_dir" ]
check "the PATH is exactly what it was before Setup" [ "$(machine_path)" = "$long_path" ]
check "the registration and the Apps & features entry are gone" driver unregistered parents-kept

finish
