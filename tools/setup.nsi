; Tumblewick's setup: a per-user install that asks for no elevation. It puts
; the program into %LOCALAPPDATA%\Programs\Tumblewick with a Start-menu and a
; desktop shortcut, the 24 wallpapers into the fixed folder where the program
; looks for them, and an entry among the user's installed programs.
;
; Built by the `setup` target (tools/setup.cmake):
;   makensis -DVERSION=1.2.3 -DEXE=<stripped Tumblewick.exe>
;            -DWALLPAPERS=<folder of the 24 BMPs> -DWALLPAPER_LIST=<.nsh>
;            -DICON=<program icon> -DOUTFILE=<setup exe> setup.nsi
; WALLPAPER_LIST holds one `!insertmacro WALLPAPER "<file name>"` line for
; each wallpaper file the catalogue names.

Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tumblewick"
!define WALLPAPER_FOLDER "c:\share\Tumblewick\backgrounds\character backgrounds"

Name "Tumblewick"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tumblewick"
; An upgrade goes where the installed copy is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tumblewick"
VIAddVersionKey "CompanyName" "Tumblewick"
VIAddVersionKey "FileDescription" "Tumblewick setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 Tumblewick"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Tumblewick.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tumblewick"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var Skipped

; Tells of a wallpaper that could not be written: in the details list, and on
; the standard error of a caller that gave one (a silent install shows no
; window, and its exit code stays 0).
!macro REPORT_SKIPPED FILE
    DetailPrint "Could not write ${WALLPAPER_FOLDER}\${FILE}: skipped"
    StrCpy $Skipped "$Skipped$\r$\n${FILE}"
    System::Call 'kernel32::GetStdHandle(i -12) p .r0'
    ${If} $0 P<> 0
    ${AndIf} $0 P<> -1
        FileWrite $0 "Tumblewick setup: could not write ${WALLPAPER_FOLDER}\${FILE}: skipped$\r$\n"
    ${EndIf}
!macroend

Section "Tumblewick" SecProgram
    SectionIn RO
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "/oname=Tumblewick.exe" "${EXE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Tumblewick.lnk" "$INSTDIR\Tumblewick.exe"

    ; A wallpaper that cannot be replaced (a read-only file of that name) is
    ; skipped without a question, and the install goes on.
    SetOutPath "${WALLPAPER_FOLDER}"
    SetOverwrite try
    !macro WALLPAPER FILE
        ClearErrors
        File "${WALLPAPERS}\${FILE}"
        ${If} ${Errors}
            !insertmacro REPORT_SKIPPED "${FILE}"
        ${EndIf}
    !macroend
    !include "${WALLPAPER_LIST}"
    !macroundef WALLPAPER
    SetOverwrite on
    SetOutPath "$INSTDIR"
    ${If} $Skipped != ""
        MessageBox MB_OK|MB_ICONEXCLAMATION "These wallpapers could not be written to ${WALLPAPER_FOLDER} and were skipped:$Skipped" /SD IDOK
    ${EndIf}

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tumblewick"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tumblewick"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tumblewick.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    ; In KiB: the program and the wallpapers, as this section carries them.
    SectionGetSize ${SecProgram} $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Desktop shortcut" SecDesktop
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    CreateShortcut "$DESKTOP\Tumblewick.lnk" "$INSTDIR\Tumblewick.exe"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The program, its Start-menu shortcut and the 24 character wallpapers."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "A shortcut to Tumblewick on the desktop."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Takes away what setup placed and nothing that the program's clicks made:
; its .url files, the browser's start page and the wallpaper setting stay.
Section "Uninstall"
    SetShellVarContext current
    Delete "$INSTDIR\Tumblewick.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tumblewick.lnk"
    Delete "$DESKTOP\Tumblewick.lnk"

    ; Setup writes no read-only wallpaper: a read-only file of that name is
    ; one that setup had to skip, and is left alone.
    !macro WALLPAPER FILE
        System::Call 'kernel32::GetFileAttributesW(w "${WALLPAPER_FOLDER}\${FILE}") i .r0'
        ${If} $0 <> -1
            IntOp $0 $0 & 1
            ${If} $0 = 0
                Delete "${WALLPAPER_FOLDER}\${FILE}"
            ${EndIf}
        ${EndIf}
    !macroend
    !include "${WALLPAPER_LIST}"
    !macroundef WALLPAPER
    ; Each folder of the wallpaper path goes only when nothing else is in it.
    RMDir "${WALLPAPER_FOLDER}"
    RMDir "c:\share\Tumblewick\backgrounds"
    RMDir "c:\share\Tumblewick"
    RMDir "c:\share"

    ; Last, so that a caller waiting for the entry to go knows all is done.
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
