; Tumblewick's setup: a per-user install that asks for no elevation. It puts
; the program into the user's program folder (%LOCALAPPDATA%\Programs) with a
; Start-menu and a desktop shortcut, the 24 wallpapers into the fixed folder
; where the program looks for them, and an entry among the user's installed
; programs.
;
; Setup either completes and exits 0, or stops with a message (silent: one
; line on standard error and in %TEMP%\Tumblewick setup.log) and a non-zero
; exit code, leaving the machine as it found it. So it writes the new files
; beside the old ones first and puts them in place only once all are whole.
; The wallpapers follow the rule of the Wallpapers plug-in (wallpaper_rule.h).
;
; Built by the `setup` target (setup/setup.cmake):
;   makensis -DVERSION=1.2.3 -DEXE=<stripped Tumblewick.exe>
;            -DWALLPAPERS=<folder of the 24 BMPs> -DWALLPAPER_LIST=<.nsh>
;            -DPLUGINS=<folder of Wallpapers.dll> -DICON=<program icon>
;            -DOUTFILE=<setup exe> -DPUBLISHER=<name> -DWEBSITE=<address>
;            -DSIGN=<tools/sign> setup.nsi
; WALLPAPER_LIST (setup/wallpaper_list.py) holds one
; `!insertmacro WALLPAPER "<file name>" <size>` line for each wallpaper file
; the catalogue names, and WALLPAPER_KIB, their size in all.

Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
; No file's time of the build goes into the setup: the same files give the
; same setup whenever they were made.
SetDateSave off
!addplugindir "${PLUGINS}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include Sections.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tumblewick"
!define WALLPAPER_FOLDER "c:\share\Tumblewick\backgrounds\character backgrounds"
; Made by the program for as long as it runs (platform/running_marker.h).
!define RUNNING_MARKER "Local\TumblewickRunning"
; Held by a setup or an uninstaller of any account while it runs.
!define TURN "Global\TumblewickSetup"
!define LOG "$TEMP\Tumblewick setup.log"
; The longest name setup writes into the program folder, and Windows' limit.
!define LONGEST_NAME_LENGTH 19
!define MAX_PATH 260

; Exit codes, as the README lists them. NSIS itself gives 1 when the user
; cancels and 2 when setup stops for a reason not listed here.
!define EXIT_CANCELLED 1
!define EXIT_RUNNING 3
!define EXIT_BUSY 4
!define EXIT_NEWER 5
!define EXIT_FOLDER 6
!define EXIT_SPACE 7
!define EXIT_WRITE 8
!define EXIT_LINK 9

Name "Tumblewick"
OutFile "${OUTFILE}"
; Signed as they are made when the build has a certificate (tools/sign does
; nothing otherwise).
!uninstfinalize '"${SIGN}" "%1" "Tumblewick" "${WEBSITE}"'
!finalize '"${SIGN}" "%1" "Tumblewick" "${WEBSITE}"'

; .onInit puts the user's program folder here, as Windows names it.
InstallDir "$LOCALAPPDATA\Programs\Tumblewick"
; An upgrade goes where the installed copy is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tumblewick"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Tumblewick setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_CUSTOMFUNCTION_ABORT UserAbort
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tumblewick.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tumblewick"

Var InstalledVersion
Var InstalledFolder
; Set once a message has been shown, so that a failure is told once.
Var Reported
; The directory page's word on the wallpapers' drive, and what they need.
Var SpaceText
Var WallpaperNeedKiB
; The highest folder this run made for the program, for the undoing.
Var ProgramTop

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will install Tumblewick in the following folder. $SpaceText"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!include "nsis\shared.nsh"
!include "nsis\install.nsh"
!include "nsis\folders.nsh"
!include "nsis\uninstall.nsh"

Function .onInit
    InitPluginsDir
    SetShellVarContext current
    Call TakeTurn
    Call UserProgramFolder
    ReadRegStr $InstalledVersion HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    ReadRegStr $InstalledFolder HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $InstalledVersion != ""
        ${VersionCompare} "${VERSION}" "$InstalledVersion" $0
        ${If} $0 = 2
            Push "Tumblewick $InstalledVersion is installed, which is newer than this setup (${VERSION}). Nothing was changed."
            Push ${EXIT_NEWER}
            Call Stop
            Abort
        ${EndIf}
    ${EndIf}
    Call CheckGivenFolder
    Call CheckFolder
    Call CheckNotRunning
    !if ${NSIS_PTR_SIZE} = 4
    ; The 32-bit setup serves 32-bit Windows and ARM64 Windows 10; on 64-bit
    ; Windows it installs all the same.
    ${If} ${RunningX64}
        Push "This is the setup for 32-bit Windows. This PC runs 64-bit Windows, for which Tumblewick-${VERSION}-x64-setup.exe is made; this one installs all the same."
        Call Say
    ${EndIf}
    !endif

    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NODESKTOP" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecDesktop}
    ${EndIf}
    ; The wallpapers do not go to the program's drive: the directory page
    ; counts the program only, and tells the wallpapers' needs itself.
    SectionSetSize ${SecWallpapers} 0
FunctionEnd

; A cancel is exit code 1, whatever a refused page set before it.
Function UserAbort
    SetErrorLevel ${EXIT_CANCELLED}
FunctionEnd
