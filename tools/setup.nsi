; Tumblewick's setup: a per-user install that asks for no elevation. It puts
; the program into %LOCALAPPDATA%\Programs\Tumblewick with a Start-menu and a
; desktop shortcut, the 24 wallpapers into the fixed folder where the program
; looks for them, and an entry among the user's installed programs.
;
; Setup either completes and exits 0, or stops with a message (silent: one
; line on standard error and in %TEMP%\Tumblewick setup.log) and a non-zero
; exit code, leaving the machine as it found it. So it writes the new files
; beside the old ones first and puts them in place only once all are whole.
; The uninstaller likewise removes all it placed, or nothing.
;
; Built by the `setup` target (tools/setup.cmake):
;   makensis -DVERSION=1.2.3 -DEXE=<stripped Tumblewick.exe>
;            -DWALLPAPERS=<folder of the 24 BMPs> -DWALLPAPER_LIST=<.nsh>
;            -DICON=<program icon> -DOUTFILE=<setup exe> -DPUBLISHER=<name>
;            -DWEBSITE=<address> -DSIGN=<tools/sign> setup.nsi
; WALLPAPER_LIST (tools/wallpaper_list.py) holds one
; `!insertmacro WALLPAPER "<file name>" <size> <CRC-32>` line for each
; wallpaper file the catalogue names, and WALLPAPER_KIB, their size in all.

Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tumblewick"
!define SHARE "c:\share"
!define WALLPAPER_FOLDER "${SHARE}\Tumblewick\backgrounds\character backgrounds"
; Each install, of any account, records itself here by one file; the
; wallpapers go with the last of them.
!define MARKER_PATTERN "${WALLPAPER_FOLDER}\installed for *.ini"
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
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tumblewick.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tumblewick"

Var InstalledVersion
Var InstalledFolder
Var Account
Var Marker
Var WallpaperNeedKiB
Var Kept
Var Reported
Var Committing
Var HadEntry
Var HadMarker
Var HadProgramsLink
Var HadDesktopLink
Var ProgramTop
Var Writing
Var SpaceText

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

; Sets $2 to FOLDER when $2 is still "" and FOLDER exists but is not a plain
; folder.
!macro CHECK_FOLDER FOLDER
    ${If} $2 == ""
        System::Call 'kernel32::GetFileAttributesW(w "${FOLDER}") i .r0'
        ${If} $0 <> -1
            IntOp $1 $0 & 0x400
            IntOp $0 $0 & 0x10
            ${If} $1 <> 0
            ${OrIf} $0 = 0
                StrCpy $2 "${FOLDER}"
            ${EndIf}
        ${EndIf}
    ${EndIf}
!macroend

; What setup and the uninstaller share; `un` is "" or "un.".
!macro SHARED un WHO
    ; Pops a line and tells it: in the details list, in the log, and on the
    ; standard error of a caller that gave one (a silent run shows no window).
    Function ${un}Say
        Exch $R0
        Push $R1
        DetailPrint "$R0"
        FileOpen $R1 "${LOG}" a
        ${IfNot} ${Errors}
            FileSeek $R1 0 END
            FileWrite $R1 "${WHO}: $R0$\r$\n"
            FileClose $R1
        ${EndIf}
        System::Call 'kernel32::GetStdHandle(i -12) p .R1'
        ${If} $R1 P<> 0
        ${AndIf} $R1 P<> -1
            FileWrite $R1 "${WHO}: $R0$\r$\n"
        ${EndIf}
        Pop $R1
        Pop $R0
    FunctionEnd

    ; Pops an exit code and a message: tells it, shows it, and sets the exit
    ; code. The caller then calls Abort.
    Function ${un}Stop
        Exch $R0
        Exch
        Exch $R1
        Push $R1
        Call ${un}Say
        MessageBox MB_OK|MB_ICONSTOP "$R1" /SD IDOK
        SetErrorLevel $R0
        StrCpy $Reported 1
        Pop $R1
        Pop $R0
    FunctionEnd

    ; A running copy of the program holds its files: nothing may be replaced
    ; or removed until it is closed.
    Function ${un}CheckNotRunning
        Push $0
        retry:
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MARKER}") p .r0'
        ${If} $0 P<> 0
            System::Call 'kernel32::CloseHandle(p r0)'
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tumblewick is running. Close it, then click Retry." /SD IDCANCEL IDRETRY retry
            Push "Tumblewick is running. Close it, then run this again. Nothing was changed."
            Push ${EXIT_RUNNING}
            Call ${un}Stop
            Abort
        ${EndIf}
        Pop $0
    FunctionEnd

    ; One setup or uninstaller at a time, of any account: the turn is a named
    ; mutex, held until this process ends. A silent run waits a minute for it.
    Function ${un}TakeTurn
        Push $0
        Push $1
        Push $2
        StrCpy $2 0
        retry:
        System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${TURN}") p .r0'
        ${If} $0 P<> 0
            ${If} ${Silent}
                System::Call 'kernel32::WaitForSingleObject(p r0, i 60000) i .r1'
            ${Else}
                System::Call 'kernel32::WaitForSingleObject(p r0, i 0) i .r1'
            ${EndIf}
            ; Signalled, or abandoned by a run that ended without letting go.
            ${If} $1 = 0
            ${OrIf} $1 = 0x80
                Pop $2
                Pop $1
                Pop $0
                Return
            ${EndIf}
            System::Call 'kernel32::CloseHandle(p r0)'
        ${ElseIf} ${Silent}
        ${AndIf} $2 < 120
            ; Another account's turn cannot be opened by this one: wait for it
            ; to go.
            IntOp $2 $2 + 1
            Sleep 500
            Goto retry
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Another Tumblewick setup or uninstaller is running. Let it finish, then click Retry." /SD IDCANCEL IDRETRY retry
        Push "Another Tumblewick setup or uninstaller is running. Let it finish, then run this again. Nothing was changed."
        Push ${EXIT_BUSY}
        Call ${un}Stop
        Abort
    FunctionEnd

    ; This account's record in the wallpaper folder.
    Function ${un}FindAccount
        System::Call 'advapi32::GetUserNameW(w .s, *i ${NSIS_MAX_STRLEN})'
        Pop $Account
        StrCpy $Marker "${WALLPAPER_FOLDER}\installed for $Account.ini"
    FunctionEnd

    ; Wallpapers are never written or removed through a link: any account may
    ; make folders under c:\, so a folder of the path may be a junction or a
    ; symbolic link to a parent's own pictures. Pushes "" when every folder of
    ; the path is missing or a plain folder, else the first that is not.
    Function ${un}WallpaperPathProblem
        Push $0
        Push $1
        Push $2
        StrCpy $2 ""
        !insertmacro CHECK_FOLDER "${SHARE}"
        !insertmacro CHECK_FOLDER "${SHARE}\Tumblewick"
        !insertmacro CHECK_FOLDER "${SHARE}\Tumblewick\backgrounds"
        !insertmacro CHECK_FOLDER "${WALLPAPER_FOLDER}"
        Exch 2
        Pop $1
        Pop $0
        Exch $2
    FunctionEnd

    ; Pops a path; pushes "missing", "other" (a folder, a link, a file too
    ; big or unreadable) or "<size>:<CRC-32>" of the file's bytes.
    Function ${un}FileState
        Exch $R0
        Push $R1
        Push $R2
        Push $R3
        Push $R4
        Push $R5
        StrCpy $R1 "other"
        System::Call 'kernel32::GetFileAttributesW(w R0) i .R2'
        ${If} $R2 = -1
            StrCpy $R1 "missing"
        ${Else}
            IntOp $R2 $R2 & 0x410
            ${If} $R2 = 0
                ; Read-only sharing, and the file itself even if it is a link.
                System::Call 'kernel32::CreateFileW(w R0, i 0x80000000, i 1, p 0, i 3, i 0x00200000, p 0) p .R2'
                ${If} $R2 P<> -1
                    System::Call 'kernel32::GetFileSize(p R2, p 0) i .R3'
                    ${If} $R3 >= 0
                    ${AndIf} $R3 <= 33554432
                        System::Alloc $R3
                        Pop $R4
                        ${If} $R4 P<> 0
                            System::Call 'kernel32::ReadFile(p R2, p R4, i R3, *i .R5, p 0) i .R1'
                            ${If} $R1 <> 0
                            ${AndIf} $R3 = $R5
                                System::Call 'ntdll::RtlComputeCrc32(i 0, p R4, i R3) i .R1'
                                IntFmt $R1 "%08X" $R1
                                StrCpy $R1 "$R3:$R1"
                            ${Else}
                                StrCpy $R1 "other"
                            ${EndIf}
                            System::Free $R4
                        ${EndIf}
                    ${EndIf}
                    System::Call 'kernel32::CloseHandle(p R2)'
                ${EndIf}
            ${EndIf}
        ${EndIf}
        StrCpy $R0 $R1
        Pop $R5
        Pop $R4
        Pop $R3
        Pop $R2
        Pop $R1
        Exch $R0
    FunctionEnd
!macroend
!insertmacro SHARED "" "Tumblewick setup"
!insertmacro SHARED "un." "Tumblewick uninstall"

; Pops a path; pushes 1 when it names a folder, "" when not. A drive's
; root is named with its backslash.
Function IsFolder
    Exch $0
    Push $1
    StrLen $1 $0
    ${If} $1 = 2
        StrCpy $0 "$0\"
    ${EndIf}
    Pop $1
    System::Call 'kernel32::GetFileAttributesW(w r0) i .r0'
    ${If} $0 <> -1
        IntOp $0 $0 & 0x10
    ${EndIf}
    ${If} $0 > 0
        StrCpy $0 1
    ${Else}
        StrCpy $0 ""
    ${EndIf}
    Exch $0
FunctionEnd

; Pops a path; pushes the nearest folder at or above it that exists, "" when
; there is none.
Function ExistingFolder
    Exch $0
    Push $1
    ${DoUntil} $0 == ""
        Push $0
        Call IsFolder
        Pop $1
        ${If} $1 == 1
            ${Break}
        ${EndIf}
        ${GetParent} "$0" $0
    ${Loop}
    Pop $1
    Exch $0
FunctionEnd

; Pops a path; pushes the free space, in KiB, of the drive it is on.
Function FreeKiB
    Call ExistingFolder
    Exch $0
    System::Call 'kernel32::GetDiskFreeSpaceExW(w r0, *l .r0, p 0, p 0) i .s'
    Exch $1
    ${If} $1 = 0
        StrCpy $0 0
    ${Else}
        System::Int64Op $0 / 1024
        Pop $0
    ${EndIf}
    Pop $1
    Exch $0
FunctionEnd

; Pops a path; pushes the root of the volume it is on.
Function VolumeOf
    Call ExistingFolder
    Exch $0
    System::Call 'kernel32::GetVolumePathNameW(w r0, w .r0, i ${NSIS_MAX_STRLEN})'
    Exch $0
FunctionEnd

; The program folder must be a folder that can be made, within Windows' path
; limit for the files setup puts in it; a file in its place, or above it,
; is never worked around by installing somewhere else.
Function CheckFolder
    Push $0
    Push $1
    StrLen $0 "$INSTDIR"
    IntOp $0 $0 + ${LONGEST_NAME_LENGTH}
    ${If} $0 >= ${MAX_PATH}
        Push "Cannot install into $\"$INSTDIR$\": the path is too long for Windows. Choose a shorter one. Nothing was changed."
        Push ${EXIT_FOLDER}
        Call Stop
        Abort
    ${EndIf}
    StrCpy $0 "$INSTDIR"
    ${DoUntil} $0 == ""
        System::Call 'kernel32::GetFileAttributesW(w r0) i .r1'
        ${If} $1 <> -1
            IntOp $1 $1 & 0x10
            ${If} $1 = 0
                Push "Cannot install into $\"$INSTDIR$\": $\"$0$\" is a file, not a folder. Nothing was changed."
                Push ${EXIT_FOLDER}
                Call Stop
                Abort
            ${EndIf}
            ${Break}
        ${EndIf}
        ${GetParent} "$0" $0
    ${Loop}
    Pop $1
    Pop $0
FunctionEnd

; NSIS puts its default folder in place of a /D= folder it cannot use; setup
; refuses instead. /D= is always the last thing on the command line.
Function CheckGivenFolder
    Push $0
    Push $1
    Push $2
    System::Call 'kernel32::GetCommandLineW() w .r0'
    ${WordFind} $0 '"/D=' "E#" $1
    ${IfNot} ${Errors}
        Push "Cannot read the folder to install into: give /D= last and without quotes, even when the folder's name has spaces. Nothing was changed."
        Push ${EXIT_FOLDER}
        Call Stop
        Abort
    ${EndIf}
    StrLen $1 $0
    ${DoWhile} $1 >= 0
        StrCpy $2 $0 4 $1
        ${If} $2 S== " /D="
            IntOp $1 $1 + 4
            StrCpy $0 $0 "" $1
            ${Break}
        ${EndIf}
        IntOp $1 $1 - 1
    ${Loop}
    ${If} $1 >= 0
        ; NSIS drops one trailing backslash.
        StrCpy $2 $0 1 -1
        ${If} $2 == "\"
            StrCpy $0 $0 -1
        ${EndIf}
        ${If} $InstalledFolder != ""
        ${AndIf} $0 != $InstalledFolder
            Push "Tumblewick is installed in $\"$InstalledFolder$\"; it is upgraded there. Uninstall it first to install it elsewhere. Nothing was changed."
            Push ${EXIT_FOLDER}
            Call Stop
            Abort
        ${EndIf}
        ${If} $0 != $INSTDIR
            Push "Cannot install into $\"$0$\": it is not a folder path that can be made. Nothing was changed."
            Push ${EXIT_FOLDER}
            Call Stop
            Abort
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Decides for each wallpaper: "write" it (missing, or placed by an install
; and since changed), leave it the "same" (already these bytes), or "keep" a
; file that no install placed. Sums what the writes need.
Function PlanWallpapers
    StrCpy $WallpaperNeedKiB 0
    StrCpy $Kept ""
    !macro WALLPAPER FILE SIZE CRC
        Push "${WALLPAPER_FOLDER}\${FILE}"
        Call FileState
        Pop $0
        ${If} $0 == "missing"
            StrCpy $1 write
        ${ElseIf} $0 == "${SIZE}:${CRC}"
            StrCpy $1 same
        ${Else}
            StrCpy $1 keep
            ${If} $0 != "other"
                FindFirst $2 $3 "${MARKER_PATTERN}"
                ${DoWhile} $3 != ""
                    ReadINIStr $4 "${WALLPAPER_FOLDER}\$3" wallpapers "${FILE}"
                    ${If} $4 == $0
                        StrCpy $1 write
                    ${EndIf}
                    FindNext $2 $3
                ${Loop}
                FindClose $2
            ${EndIf}
        ${EndIf}
        WriteINIStr "$PLUGINSDIR\plan.ini" plan "${FILE}" $1
        ${If} $1 == write
            IntOp $5 ${SIZE} + 1023
            IntOp $5 $5 / 1024
            IntOp $WallpaperNeedKiB $WallpaperNeedKiB + $5
        ${ElseIf} $1 == keep
            Push "Kept ${WALLPAPER_FOLDER}\${FILE}: a file of that name that Tumblewick's setup did not place"
            Call Say
            StrCpy $Kept "$Kept$\r$\n${FILE}"
        ${EndIf}
    !macroend
    !include "${WALLPAPER_LIST}"
    !macroundef WALLPAPER
FunctionEnd

; Pops a folder and makes it with its parents; $ProgramTop is the highest
; folder made, for the undoing.
Function MakeProgramFolder
    Exch $0
    StrCpy $ProgramTop ""
    StrCpy $1 $0
    ${DoUntil} $1 == ""
        Push $1
        Call IsFolder
        Pop $2
        ${If} $2 == 1
            ${Break}
        ${EndIf}
        StrCpy $ProgramTop $1
        ${GetParent} "$1" $1
    ${Loop}
    ClearErrors
    CreateDirectory "$0"
    ${If} ${Errors}
    ${OrIfNot} ${FileExists} "$0\*.*"
        Push "Cannot make the folder $\"$0$\". Nothing was changed."
        Push ${EXIT_FOLDER}
        Call Stop
        Abort
    ${EndIf}
    Pop $0
FunctionEnd

!macro WRITE_CHECK WHAT
    ${If} ${Errors}
        Push "Could not write ${WHAT}. Nothing was changed."
        Push ${EXIT_WRITE}
        Call Stop
        Abort
    ${EndIf}
!macroend

; Puts FROM in the place of TO, keeping TO as TO.old until the install is
; whole; on a failure TO is as it was.
!macro PUT_IN_PLACE FROM TO
    Delete "${TO}.old"
    ClearErrors
    ${If} ${FileExists} "${TO}"
        Rename "${TO}" "${TO}.old"
    ${EndIf}
    ${IfNot} ${Errors}
        Rename "${FROM}" "${TO}"
    ${EndIf}
    !insertmacro WRITE_CHECK "${TO}"
!macroend

; The program's files, written beside what is there.
Section "Tumblewick" SecProgram
    SectionIn RO
    SetShellVarContext current
    SetErrorLevel 0
    Call CheckFolder
    Call CheckNotRunning
    Call WallpaperPathProblem
    Pop $0
    ${If} $0 != ""
        Push "$\"$0$\" is a link or a file, not a plain folder; Tumblewick's setup writes no wallpaper through it. Remove it, then run setup again. Nothing was changed."
        Push ${EXIT_LINK}
        Call Stop
        Abort
    ${EndIf}
    Call PlanWallpapers
    Call CheckRoom

    ReadRegStr $HadEntry HKCU "${UNINSTALL_KEY}" "UninstallString"
    StrCpy $HadMarker ""
    ${If} ${FileExists} "$Marker"
        StrCpy $HadMarker 1
    ${EndIf}
    StrCpy $HadProgramsLink ""
    ${If} ${FileExists} "$SMPROGRAMS\Tumblewick.lnk"
        StrCpy $HadProgramsLink 1
    ${EndIf}
    StrCpy $HadDesktopLink ""
    ${If} ${FileExists} "$DESKTOP\Tumblewick.lnk"
        StrCpy $HadDesktopLink 1
    ${EndIf}

    ; From here on a failure has something to undo.
    StrCpy $Writing 1
    Push "$INSTDIR"
    Call MakeProgramFolder
    SetOutPath "$INSTDIR"
    SetOverwrite try
    ClearErrors
    File "/oname=Tumblewick.exe.new" "${EXE}"
    !insertmacro WRITE_CHECK "$INSTDIR\Tumblewick.exe"
    WriteUninstaller "$INSTDIR\uninstall.exe.new"
    ${IfNot} ${FileExists} "$INSTDIR\uninstall.exe.new"
        SetErrors
    ${EndIf}
    !insertmacro WRITE_CHECK "$INSTDIR\uninstall.exe"
SectionEnd

; The wallpapers setup writes, each beside the file of its name.
Section "-Wallpapers" SecWallpapers
    ; Which folders of the path this install made, and any install before it.
    !macro MAKE_FOLDER KEY FOLDER
        StrCpy $0 ""
        ${IfNot} ${FileExists} "${FOLDER}\*.*"
            StrCpy $0 1
        ${EndIf}
        FindFirst $1 $2 "${MARKER_PATTERN}"
        ${DoWhile} $2 != ""
            ReadINIStr $3 "${WALLPAPER_FOLDER}\$2" folders "${KEY}"
            ${If} $3 == 1
                StrCpy $0 1
            ${EndIf}
            FindNext $1 $2
        ${Loop}
        FindClose $1
        WriteINIStr "$PLUGINSDIR\folders.ini" folders "${KEY}" $0
        ClearErrors
        CreateDirectory "${FOLDER}"
        ${IfNot} ${FileExists} "${FOLDER}\*.*"
            SetErrors
        ${EndIf}
        !insertmacro WRITE_CHECK "the folder ${FOLDER}"
    !macroend
    !insertmacro MAKE_FOLDER share "${SHARE}"
    !insertmacro MAKE_FOLDER product "${SHARE}\Tumblewick"
    !insertmacro MAKE_FOLDER backgrounds "${SHARE}\Tumblewick\backgrounds"
    !insertmacro MAKE_FOLDER wallpapers "${WALLPAPER_FOLDER}"
    !macroundef MAKE_FOLDER

    SetOutPath "${WALLPAPER_FOLDER}"
    SetOverwrite try
    !macro WALLPAPER FILE SIZE CRC
        ReadINIStr $0 "$PLUGINSDIR\plan.ini" plan "${FILE}"
        ${If} $0 == write
            ClearErrors
            File "/oname=${FILE}.new" "${WALLPAPERS}\${FILE}"
            !insertmacro WRITE_CHECK "${WALLPAPER_FOLDER}\${FILE}"
        ${EndIf}
    !macroend
    !include "${WALLPAPER_LIST}"
    !macroundef WALLPAPER
    SetOutPath "$INSTDIR"
SectionEnd

Section "Desktop shortcut" SecDesktop
SectionEnd

; Everything is whole: put it in place, record the install, make the
; shortcuts and the entry.
Section "-Commit"
    SetShellVarContext current
    StrCpy $Committing 1

    ; The record first: it names the bytes each wallpaper will hold, so a
    ; file that cannot be replaced below never matches it.
    Delete "$Marker"
    ClearErrors
    !macro WALLPAPER FILE SIZE CRC
        ReadINIStr $0 "$PLUGINSDIR\plan.ini" plan "${FILE}"
        ${If} $0 != keep
            WriteINIStr "$Marker" wallpapers "${FILE}" "${SIZE}:${CRC}"
        ${EndIf}
    !macroend
    !include "${WALLPAPER_LIST}"
    !macroundef WALLPAPER
    !macro RECORD_FOLDER KEY
        ReadINIStr $0 "$PLUGINSDIR\folders.ini" folders "${KEY}"
        WriteINIStr "$Marker" folders "${KEY}" $0
    !macroend
    !insertmacro RECORD_FOLDER share
    !insertmacro RECORD_FOLDER product
    !insertmacro RECORD_FOLDER backgrounds
    !insertmacro RECORD_FOLDER wallpapers
    !macroundef RECORD_FOLDER
    WriteINIStr "$Marker" install version "${VERSION}"
    !insertmacro WRITE_CHECK "$Marker"
    FlushINI "$Marker"

    ; A wallpaper that cannot be replaced (a read-only file of that name) is
    ; kept as it is and reported; the install goes on.
    !macro WALLPAPER FILE SIZE CRC
        ReadINIStr $0 "$PLUGINSDIR\plan.ini" plan "${FILE}"
        ${If} $0 == write
            Delete "${WALLPAPER_FOLDER}\${FILE}.old"
            ClearErrors
            ${If} ${FileExists} "${WALLPAPER_FOLDER}\${FILE}"
                Rename "${WALLPAPER_FOLDER}\${FILE}" "${WALLPAPER_FOLDER}\${FILE}.old"
            ${Else}
                WriteINIStr "$PLUGINSDIR\placed.ini" placed "${FILE}" 1
            ${EndIf}
            ${IfNot} ${Errors}
                Rename "${WALLPAPER_FOLDER}\${FILE}.new" "${WALLPAPER_FOLDER}\${FILE}"
                ${If} ${Errors}
                    Rename "${WALLPAPER_FOLDER}\${FILE}.old" "${WALLPAPER_FOLDER}\${FILE}"
                    SetErrors
                ${EndIf}
            ${EndIf}
            ${If} ${Errors}
                Delete "${WALLPAPER_FOLDER}\${FILE}.new"
                Push "Could not write ${WALLPAPER_FOLDER}\${FILE}: skipped"
                Call Say
                StrCpy $Kept "$Kept$\r$\n${FILE}"
            ${EndIf}
            Delete "${WALLPAPER_FOLDER}\${FILE}.old"
        ${EndIf}
    !macroend
    !include "${WALLPAPER_LIST}"
    !macroundef WALLPAPER

    !insertmacro PUT_IN_PLACE "$INSTDIR\Tumblewick.exe.new" "$INSTDIR\Tumblewick.exe"
    !insertmacro PUT_IN_PLACE "$INSTDIR\uninstall.exe.new" "$INSTDIR\uninstall.exe"

    SetOutPath "$INSTDIR"
    ClearErrors
    CreateShortcut "$SMPROGRAMS\Tumblewick.lnk" "$INSTDIR\Tumblewick.exe"
    !insertmacro WRITE_CHECK "$SMPROGRAMS\Tumblewick.lnk"
    ${If} ${SectionIsSelected} ${SecDesktop}
        CreateShortcut "$DESKTOP\Tumblewick.lnk" "$INSTDIR\Tumblewick.exe"
        !insertmacro WRITE_CHECK "$DESKTOP\Tumblewick.lnk"
    ${EndIf}

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tumblewick"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tumblewick.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    ; In KiB: the program and the wallpapers.
    SectionGetSize ${SecProgram} $0
    IntOp $0 $0 + ${WALLPAPER_KIB}
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    !insertmacro WRITE_CHECK "the uninstall entry"

    Delete "$INSTDIR\Tumblewick.exe.old"
    Delete "$INSTDIR\uninstall.exe.old"
    StrCpy $Committing ""
    ${If} $Kept != ""
        MessageBox MB_OK|MB_ICONEXCLAMATION "These wallpapers in ${WALLPAPER_FOLDER} were kept as they are, not replaced:$Kept" /SD IDOK
    ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The program, its Start-menu shortcut and the 24 character wallpapers."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "A shortcut to Tumblewick on the desktop."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    InitPluginsDir
    SetShellVarContext current
    Call TakeTurn
    Call FindAccount

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

; An upgrade or a repair stays where the installed copy is.
Function DirectoryPre
    ${If} $InstalledFolder != ""
        Abort
    ${EndIf}
    Push "${WALLPAPER_FOLDER}"
    Call FreeKiB
    Pop $0
    IntOp $0 $0 / 1024
    IntOp $1 ${WALLPAPER_KIB} / 1024
    IntOp $1 $1 + 1
    Push "${WALLPAPER_FOLDER}"
    Call VolumeOf
    Pop $2
    StrCpy $SpaceText "The 24 wallpapers also need $1 MB on $2 (for ${WALLPAPER_FOLDER}), where $0 MB is free."
FunctionEnd

Function DirectoryLeave
    Call CheckFolder
FunctionEnd

; Room on every drive written to, before a byte is written.
Function CheckRoom
    SectionGetSize ${SecProgram} $0
    ; The uninstaller and the shortcuts.
    IntOp $0 $0 + 512
    StrCpy $1 $WallpaperNeedKiB
    Push "$INSTDIR"
    Call VolumeOf
    Pop $2
    Push "${WALLPAPER_FOLDER}"
    Call VolumeOf
    Pop $3
    ${If} $2 == $3
        IntOp $0 $0 + $1
        StrCpy $1 $0
    ${EndIf}
    Push "$INSTDIR"
    Call FreeKiB
    Pop $4
    Push "${WALLPAPER_FOLDER}"
    Call FreeKiB
    Pop $5
    ${If} $4 L< $0
        IntOp $0 $0 / 1024
        IntOp $0 $0 + 1
        System::Int64Op $4 / 1024
        Pop $4
        Push "Not enough free space on $2 for $\"$INSTDIR$\": $0 MB needed, $4 MB free. Nothing was changed."
        Push ${EXIT_SPACE}
        Call Stop
        Abort
    ${EndIf}
    ${If} $5 L< $1
        IntOp $1 $1 / 1024
        IntOp $1 $1 + 1
        System::Int64Op $5 / 1024
        Pop $5
        Push "Not enough free space on $3 for the wallpapers in ${WALLPAPER_FOLDER}: $1 MB needed, $5 MB free. Nothing was changed."
        Push ${EXIT_SPACE}
        Call Stop
        Abort
    ${EndIf}
FunctionEnd

; A failed install, by a check or a write: take away what this run placed
; and put back what it moved aside.
Function .onInstFailed
    ${If} $Reported == ""
        Push "Could not write a file (is the disk full?). Nothing was changed."
        Push ${EXIT_WRITE}
        Call Stop
    ${EndIf}
    ${If} $Writing != 1
        Return
    ${EndIf}
    Delete "$INSTDIR\Tumblewick.exe.new"
    Delete "$INSTDIR\uninstall.exe.new"
    ${If} $Committing == 1
        !macro PUT_BACK FILE
            ${If} ${FileExists} "$INSTDIR\${FILE}.old"
                Delete "$INSTDIR\${FILE}"
                Rename "$INSTDIR\${FILE}.old" "$INSTDIR\${FILE}"
            ${EndIf}
        !macroend
        !insertmacro PUT_BACK Tumblewick.exe
        !insertmacro PUT_BACK uninstall.exe
        !macroundef PUT_BACK
        ${If} $HadEntry == ""
            DeleteRegKey HKCU "${UNINSTALL_KEY}"
            Delete "$INSTDIR\Tumblewick.exe"
            Delete "$INSTDIR\uninstall.exe"
        ${EndIf}
        ${If} $HadProgramsLink == ""
            Delete "$SMPROGRAMS\Tumblewick.lnk"
        ${EndIf}
        ${If} $HadDesktopLink == ""
            Delete "$DESKTOP\Tumblewick.lnk"
        ${EndIf}
    ${EndIf}
    ${If} $ProgramTop != ""
        StrCpy $0 "$INSTDIR"
        ${Do}
            RMDir "$0"
            ${If} $0 == $ProgramTop
                ${Break}
            ${EndIf}
            ${GetParent} "$0" $0
        ${LoopUntil} $0 == ""
    ${EndIf}
    !macro WALLPAPER FILE SIZE CRC
        Delete "${WALLPAPER_FOLDER}\${FILE}.new"
        ReadINIStr $0 "$PLUGINSDIR\placed.ini" placed "${FILE}"
        ${If} $0 == 1
            Delete "${WALLPAPER_FOLDER}\${FILE}"
        ${EndIf}
    !macroend
    !include "${WALLPAPER_LIST}"
    !macroundef WALLPAPER
    ${If} $HadMarker == ""
        Delete "$Marker"
    ${EndIf}
    !macro UNMAKE_FOLDER KEY FOLDER
        ReadINIStr $0 "$PLUGINSDIR\folders.ini" folders "${KEY}"
        ${If} $0 == 1
            RMDir "${FOLDER}"
        ${EndIf}
    !macroend
    !insertmacro UNMAKE_FOLDER wallpapers "${WALLPAPER_FOLDER}"
    !insertmacro UNMAKE_FOLDER backgrounds "${SHARE}\Tumblewick\backgrounds"
    !insertmacro UNMAKE_FOLDER product "${SHARE}\Tumblewick"
    !insertmacro UNMAKE_FOLDER share "${SHARE}"
FunctionEnd

Function un.onInit
    SetShellVarContext current
    Call un.TakeTurn
    Call un.CheckNotRunning
    Call un.FindAccount
FunctionEnd

; Takes away what setup placed and nothing that the program's clicks made:
; its .url files, the browser's start page and the wallpaper setting stay.
Section "Uninstall"
    SetShellVarContext current
    ; The program first: if it cannot go, nothing goes.
    ${If} ${FileExists} "$INSTDIR\Tumblewick.exe"
        ClearErrors
        Delete "$INSTDIR\Tumblewick.exe"
        ${If} ${Errors}
            Push "Could not remove $INSTDIR\Tumblewick.exe. Nothing was removed."
            Push ${EXIT_WRITE}
            Call un.Stop
            Abort
        ${EndIf}
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tumblewick.lnk"
    Delete "$DESKTOP\Tumblewick.lnk"

    Call un.WallpaperPathProblem
    Pop $0
    ${If} $0 != ""
        Push "Left the wallpapers alone: $\"$0$\" is a link or a file, not a plain folder."
        Call un.Say
    ${ElseIf} ${FileExists} "$Marker"
        ; The wallpapers go with the last install that recorded itself, and
        ; only files still as setup placed them.
        ReadINIStr $5 "$Marker" folders share
        ReadINIStr $6 "$Marker" folders product
        ReadINIStr $7 "$Marker" folders backgrounds
        ReadINIStr $8 "$Marker" folders wallpapers
        CopyFiles /SILENT "$Marker" "$PLUGINSDIR\record.ini"
        Delete "$Marker"
        FindFirst $1 $2 "${MARKER_PATTERN}"
        FindClose $1
        ${If} $2 == ""
            !macro WALLPAPER FILE SIZE CRC
                ReadINIStr $3 "$PLUGINSDIR\record.ini" wallpapers "${FILE}"
                ${If} $3 != ""
                    Push "${WALLPAPER_FOLDER}\${FILE}"
                    Call un.FileState
                    Pop $4
                    ${If} $4 == $3
                        Delete "${WALLPAPER_FOLDER}\${FILE}"
                    ${Else}
                        Push "Kept ${WALLPAPER_FOLDER}\${FILE}: not as setup placed it"
                        Call un.Say
                    ${EndIf}
                ${EndIf}
            !macroend
            !include "${WALLPAPER_LIST}"
            !macroundef WALLPAPER
            ; Each folder of the path goes only if an install made it and
            ; nothing else is in it.
            ${If} $8 == 1
                RMDir "${WALLPAPER_FOLDER}"
            ${EndIf}
            ${If} $7 == 1
                RMDir "${SHARE}\Tumblewick\backgrounds"
            ${EndIf}
            ${If} $6 == 1
                RMDir "${SHARE}\Tumblewick"
            ${EndIf}
            ${If} $5 == 1
                RMDir "${SHARE}"
            ${EndIf}
        ${EndIf}
    ${EndIf}

    ; Last, so that a caller waiting for the entry to go knows all is done.
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
