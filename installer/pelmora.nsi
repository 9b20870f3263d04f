; Pelmora-Setup.exe: installs the task manager and its Explorer extension for every user of the
; machine. One file serves both kinds of Windows: on 64-bit Windows it installs the x64 build into
; the real 64-bit Program Files folder and registers it in the 64-bit registry view (the 64-bit
; Explorer loads only 64-bit extensions); on 32-bit Windows it installs the x86 build.
;
; Defined by the build (installer/CMakeLists.txt):
;   PELMORA_VERSION  three-part product version, e.g. 1.0.0 (the project version)
;   PELMORA_VERSION_MAJOR, PELMORA_VERSION_MINOR  its first two parts
;   PELMORA_HOMEPAGE the product's web page, shown by Apps & features
;   PELMORA_COPYRIGHT the copyright line of every binary's version block
;   X64_EXE, X64_DLL Pelmora.exe and PelmoraExt.dll of the x64 build
;   X86_EXE, X86_DLL the same of the x86 build
;   X64_CLI, X86_CLI pelmora-cli.exe of the x64 and of the x86 build
;   PATH_HELPER      PathEntry.exe (x86), which adds the installation folder to the machine PATH
;                    and takes it out again
;   PELMORA_ICON     the program's icon, also the installer's and the uninstaller's
;   LICENSE_TXT, NOTICES_TXT  Pelmora's licence and the third-party notices, installed beside the
;                    binaries
;   SIGN_COMMAND     (optional) a command that signs the file it is given in place, followed by
;                    the file's name in the release; given, the uninstaller and Setup are signed
;   OUTFILE          where the installer is written
;   STUB_TARGET      the installer's own processor: x86-unicode (the one that runs everywhere) or
;                    amd64-unicode (64-bit Windows only)

Unicode true
!ifndef STUB_TARGET
    !define STUB_TARGET x86-unicode
!endif
Target ${STUB_TARGET}
; A 64-bit installer knows at compile time that it runs on 64-bit Windows, so the 32-bit branches
; after ${RunningX64} leave labels that the compiler reports as unused.
!pragma warning disable 6012

!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define PRODUCT "Pelmora"
!define PUBLISHER "Pelmora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelmora"
!define CLASSES "Software\Classes"
!define OVERLAYS "Software\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers"
!define SHCNE_ASSOCCHANGED 0x08000000
!define ERROR_ELEVATION_REQUIRED 740
!define ERROR_EXE_MACHINE_TYPE_MISMATCH 216
; PathEntry.exe's exit codes
!define PATH_CHANGED 0
!define PATH_UNCHANGED 3

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ManifestSupportedOS all
SetCompressor /SOLID lzma
; The installed files get the time of installation rather than that of the build, so the same
; sources make the same installer on every day.
SetDateSave off
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${PELMORA_VERSION}"
; The extension starts the program from Program Files\Pelmora, so the folder is not a choice:
; .onInit fixes it and there is no directory page.
InstallDir "$PROGRAMFILES\${PRODUCT}"
Icon "${PELMORA_ICON}"
UninstallIcon "${PELMORA_ICON}"

VIProductVersion "${PELMORA_FILE_VERSION}"
VIFileVersion "${PELMORA_FILE_VERSION}"
VIAddVersionKey /LANG=1033 ProductName "${PRODUCT}"
VIAddVersionKey /LANG=1033 CompanyName "${PUBLISHER}"
VIAddVersionKey /LANG=1033 FileDescription "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 FileVersion "${PELMORA_FILE_VERSION}"
VIAddVersionKey /LANG=1033 ProductVersion "${PELMORA_FILE_VERSION}"
VIAddVersionKey /LANG=1033 InternalName "Pelmora-${PELMORA_VERSION}-Setup.exe"
VIAddVersionKey /LANG=1033 OriginalFilename "Pelmora-${PELMORA_VERSION}-Setup.exe"
VIAddVersionKey /LANG=1033 LegalCopyright "${PELMORA_COPYRIGHT}"

!ifdef SIGN_COMMAND
    !uninstfinalize '${SIGN_COMMAND} "%1" Uninstall.exe' = 0
    !finalize '${SIGN_COMMAND} "%1" Pelmora-${PELMORA_VERSION}-Setup.exe' = 0
!endif

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Setup speaks the languages below: NSIS's own files give its pages and buttons, installer/lang/
; the texts this script writes. At start NSIS picks the one of the user's Windows display language
; (or of its primary language, Spanish for Mexican Spanish), else the first: English.
; PELMORA_LANGUAGES collects their identifiers, "|1033|1031|...|".
!define PELMORA_LANGUAGES "|"
!macro PelmoraLanguage NAME
    LoadLanguageFile "${NSISDIR}\Contrib\Language files\${NAME}.nlf"
    !include /CHARSET=UTF8 "${__FILEDIR__}\lang\${NAME}.nsh"
    !define /redef PELMORA_LANGUAGES "${PELMORA_LANGUAGES}${LANG_${NAME}}|"
!macroend
!insertmacro PelmoraLanguage English
!insertmacro PelmoraLanguage German
!insertmacro PelmoraLanguage French
!insertmacro PelmoraLanguage Spanish
!insertmacro PelmoraLanguage PortugueseBR
!insertmacro PelmoraLanguage Russian
!insertmacro PelmoraLanguage Japanese
!insertmacro PelmoraLanguage SimpChinese
!insertmacro PelmoraLanguage Korean

; Sets $LANGUAGE to LANGID when Setup speaks it, else leaves the language NSIS picked. Takes effect
; when .onInit or un.onInit returns: their own messages are in the language picked at start.
!macro UseLanguage UN
Function ${UN}UseLanguage
    Exch $1
    Push $2
    ClearErrors
    ${${UN}WordFind} "${PELMORA_LANGUAGES}" "|$1|" "E+1{" $2
    ${IfNot} ${Errors}
        StrCpy $LANGUAGE $1
    ${EndIf}
    Pop $2
    Pop $1
FunctionEnd
!macroend
!insertmacro UseLanguage ""
!insertmacro UseLanguage "un."

; Set while installing: the previous installation's files, moved aside until the new ones are
; registered (empty when there was none), and how far the installation got.
Var OldExe
Var OldDll
Var OldCli
Var Registered

; ---------------------------------------------------------------------------------------------
; Shared by installer and uninstaller

!macro RequireAdmin UN
Function ${UN}RequireAdmin
    ; Without administrator rights nothing under Program Files or HKLM can be written; stop
    ; before the first change instead of leaving half an installation behind.
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_ICONSTOP|MB_OK "$(NEEDS_ADMIN)" /SD IDOK
        SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
        Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro RequireAdmin ""
!insertmacro RequireAdmin "un."

!macro UseNativeView
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
!macroend

; regsvr32 of the machine's own bitness, so that a 64-bit DLL is registered by a 64-bit process
; in the 64-bit registry view even when this installer runs as a 32-bit process.
; Leaves regsvr32's exit code in $0 (0 = success).
!macro RunRegsvr32 ARGS DLL
    ${DisableX64FSRedirection}
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" ${ARGS} "${DLL}"' $0
    ${If} ${Errors}
        StrCpy $0 "not started"
    ${EndIf}
    ${EnableX64FSRedirection}
!macroend

; Runs Setup's PATH helper on the installation folder; leaves its exit code in $0. The helper edits
; the registry value itself, at any length: a PATH carried through this script's strings would be
; cut at their fixed size.
!macro RunPathEntry ACTION
    InitPluginsDir
    File "/oname=$PLUGINSDIR\PathEntry.exe" "${PATH_HELPER}"
    ClearErrors
    ExecWait '"$PLUGINSDIR\PathEntry.exe" ${ACTION} "$INSTDIR"' $0
    ${If} ${Errors}
        StrCpy $0 "not started"
    ${EndIf}
    Delete "$PLUGINSDIR\PathEntry.exe"
!macroend

!macro NotifyShell
    ; Explorer re-reads the handlers and asks the overlay identifiers again.
    System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
!macroend

; Moves FILE out of the way under a unique name in the same folder and leaves that name in
; OUTVAR (empty when FILE does not exist). A DLL loaded by Explorer or a running program cannot be
; overwritten or deleted, but it can be renamed.
!macro MoveAside UN
Function ${UN}MoveAside
    Exch $1 ; the file
    Push $2
    StrCpy $2 ""
    ${If} ${FileExists} $1
        GetTempFileName $2 $INSTDIR
        Delete $2
        ClearErrors
        Rename $1 $2
        ${If} ${Errors}
            StrCpy $2 ""
        ${EndIf}
    ${EndIf}
    Exch $2 ; the result on the stack, $2 restored
    Exch
    Pop $1
FunctionEnd
!macroend
!insertmacro MoveAside ""
!insertmacro MoveAside "un."

; Removes FILE now, or, when it is in use, renames it aside and deletes it at the next restart,
; so that the folder no longer offers it and a later installation can write the name again.
!macro RemoveFile UN FILE
    Delete "${FILE}"
    ${If} ${FileExists} "${FILE}"
        Push "${FILE}"
        Call ${UN}MoveAside
        Pop $0
        ${If} $0 != ""
            Delete /REBOOTOK $0
        ${Else}
            Delete /REBOOTOK "${FILE}"
        ${EndIf}
    ${EndIf}
!macroend

; ---------------------------------------------------------------------------------------------
; Installer

Function .onInit
    ; /LANG=LANGID (1031 for German) speaks that language whatever Windows' is; one Setup does
    ; not speak leaves Windows' own.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/LANG=" $1
    ${IfNot} ${Errors}
        Push $1
        Call UseLanguage
    ${EndIf}
    ; 64-bit Windows on ARM runs this installer too, but its Explorer cannot load an x64 or x86
    ; extension: say so instead of installing something that never shows.
    ${If} ${IsNativeARM64}
        MessageBox MB_ICONSTOP|MB_OK "$(NOT_ON_ARM)" /SD IDOK
        SetErrorLevel ${ERROR_EXE_MACHINE_TYPE_MISMATCH}
        Quit
    ${EndIf}
    Call RequireAdmin
    !insertmacro UseNativeView
    ${If} ${RunningX64}
        StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${Else}
        StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
    StrCpy $OldExe ""
    StrCpy $OldDll ""
    StrCpy $OldCli ""
    StrCpy $Registered 0
FunctionEnd

Section "Install"
    SetOutPath $INSTDIR
    ; An upgrade keeps the previous files until the new ones are registered, so a failure can put
    ; the working installation back.
    Push "$INSTDIR\PelmoraExt.dll"
    Call MoveAside
    Pop $OldDll
    Push "$INSTDIR\Pelmora.exe"
    Call MoveAside
    Pop $OldExe
    Push "$INSTDIR\pelmora-cli.exe"
    Call MoveAside
    Pop $OldCli

    ${If} ${RunningX64}
        File "/oname=Pelmora.exe" "${X64_EXE}"
        File "/oname=PelmoraExt.dll" "${X64_DLL}"
        File "/oname=pelmora-cli.exe" "${X64_CLI}"
    ${Else}
        File "/oname=Pelmora.exe" "${X86_EXE}"
        File "/oname=PelmoraExt.dll" "${X86_DLL}"
        File "/oname=pelmora-cli.exe" "${X86_CLI}"
    ${EndIf}
    File "/oname=LICENSE.txt" "${LICENSE_TXT}"
    File "/oname=THIRD-PARTY-NOTICES.txt" "${NOTICES_TXT}"

    DetailPrint "$(REGISTERING)"
    StrCpy $Registered 1
    !insertmacro RunRegsvr32 "/s" "$INSTDIR\PelmoraExt.dll"
    ${If} $0 != 0
        MessageBox MB_ICONSTOP|MB_OK "$(NOT_REGISTERED)" /SD IDOK
        Abort "$(NOT_REGISTERED_UNDONE)"
    ${EndIf}

    ; The old files are no longer needed; one still held by Explorer goes at the next restart.
    ${If} $OldDll != ""
        Delete /REBOOTOK $OldDll
    ${EndIf}
    ${If} $OldExe != ""
        Delete /REBOOTOK $OldExe
    ${EndIf}
    ${If} $OldCli != ""
        Delete /REBOOTOK $OldCli
    ${EndIf}

    WriteUninstaller "$INSTDIR\Uninstall.exe"
    ${GetSize} "$INSTDIR" "/S=0K /G=0" $1 $2 $3
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${PELMORA_VERSION}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${PELMORA_VERSION_MAJOR}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${PELMORA_VERSION_MINOR}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${PELMORA_HOMEPAGE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pelmora.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; The uninstaller speaks the language Setup spoke.
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "InstallerLanguage" $LANGUAGE

    ; pelmora-cli from any new terminal. The uninstaller takes the entry out only if this Setup
    ; (or an earlier one) put it there: a folder the user had in PATH already stays.
    DetailPrint "$(ADDING_TO_PATH)"
    !insertmacro RunPathEntry add
    ${If} $0 == ${PATH_CHANGED}
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "PathEntryAdded" 1
    ${ElseIf} $0 != ${PATH_UNCHANGED}
        DetailPrint "$(PATH_NOT_CHANGED)"
    ${EndIf}

    !insertmacro NotifyShell
SectionEnd

; Undoes a failed installation: the new files go, the previous ones (if any) come back and are
; registered again, since unregistering the new extension removed the shared class entries.
Function .onInstFailed
    ${If} $Registered == 1
        !insertmacro RunRegsvr32 "/u /s" "$INSTDIR\PelmoraExt.dll"
    ${EndIf}
    !insertmacro RemoveFile "" "$INSTDIR\PelmoraExt.dll"
    !insertmacro RemoveFile "" "$INSTDIR\Pelmora.exe"
    !insertmacro RemoveFile "" "$INSTDIR\pelmora-cli.exe"
    ${If} $OldExe != ""
        Rename $OldExe "$INSTDIR\Pelmora.exe"
    ${EndIf}
    ${If} $OldCli != ""
        Rename $OldCli "$INSTDIR\pelmora-cli.exe"
    ${EndIf}
    ${If} $OldDll != ""
        Rename $OldDll "$INSTDIR\PelmoraExt.dll"
        !insertmacro RunRegsvr32 "/s" "$INSTDIR\PelmoraExt.dll"
    ${EndIf}
    ${If} $OldDll == ""
    ${AndIf} $OldExe == ""
    ${AndIf} $OldCli == ""
        Delete "$INSTDIR\LICENSE.txt"
        Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
        SetOutPath $TEMP ; a folder that is the current directory cannot be removed
        RMDir $INSTDIR
    ${EndIf}
    !insertmacro NotifyShell
FunctionEnd

; ---------------------------------------------------------------------------------------------
; Uninstaller

Function un.onInit
    Call un.RequireAdmin
    !insertmacro UseNativeView
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "InstallerLanguage"
    ${If} $0 != ""
        Push $0
        Call un.UseLanguage
    ${EndIf}
FunctionEnd

; Deletes the class key named by the value of HKLM\KEY, and KEY itself, if that class is served
; by this installation's DLL. Covers what regsvr32 cannot remove because the DLL is gone.
!macro RemoveLeftover KEY
    ReadRegStr $1 HKLM "${KEY}" ""
    ${If} $1 != ""
        ReadRegStr $2 HKLM "${CLASSES}\CLSID\$1\InprocServer32" ""
        ${If} $2 == "$INSTDIR\PelmoraExt.dll"
            DeleteRegKey HKLM "${CLASSES}\CLSID\$1"
            DeleteRegKey HKLM "${KEY}"
        ${EndIf}
    ${EndIf}
!macroend

Section "Uninstall"
    ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "PathEntryAdded"
    ${If} $1 == 1
        DetailPrint "$(TAKING_OUT_OF_PATH)"
        !insertmacro RunPathEntry remove
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\PelmoraExt.dll"
        DetailPrint "$(UNREGISTERING)"
        !insertmacro RunRegsvr32 "/u /s" "$INSTDIR\PelmoraExt.dll"
    ${EndIf}
    ; The folder and background handlers are checked first: the all-files handler names the same
    ; class, and the class key is gone once that one has been handled.
    ReadRegStr $3 HKLM "${CLASSES}\*\ShellEx\ContextMenuHandlers\PelmoraShellExt" ""
    ReadRegStr $4 HKLM "${CLASSES}\CLSID\$3\InprocServer32" ""
    ${If} $3 != ""
    ${AndIf} $4 == "$INSTDIR\PelmoraExt.dll"
        DeleteRegKey HKLM "${CLASSES}\Folder\ShellEx\ContextMenuHandlers\PelmoraShellExt"
        DeleteRegKey HKLM "${CLASSES}\Directory\Background\ShellEx\ContextMenuHandlers\PelmoraShellExt"
    ${EndIf}
    !insertmacro RemoveLeftover "${CLASSES}\*\ShellEx\ContextMenuHandlers\PelmoraShellExt"
    !insertmacro RemoveLeftover "${OVERLAYS}\PelmoraDoneOverlay"
    !insertmacro RemoveLeftover "${OVERLAYS}\PelmoraHalfOverlay"
    !insertmacro RemoveLeftover "${OVERLAYS}\PelmoraZeroOverlay"
    !insertmacro NotifyShell

    ; Only what Setup put there. The users' pelmora.db and pelmora.ini files lie beside their own
    ; folders and the settings file under the common application data folder: both stay.
    !insertmacro RemoveFile "un." "$INSTDIR\PelmoraExt.dll"
    !insertmacro RemoveFile "un." "$INSTDIR\Pelmora.exe"
    !insertmacro RemoveFile "un." "$INSTDIR\pelmora-cli.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir /REBOOTOK $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
