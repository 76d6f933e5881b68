; The install: checks, then the program's files written beside what is there,
; then the wallpapers by the rule, then everything put in place at once; a
; failure on the way takes back what this run did.

; The wallpapers kept as they are (files of those names that are not setup's).
Var Kept
; How far the run got, for .onInstFailed: 1 once it writes, and once it
; places wallpapers, and once it puts things in place.
Var Writing
Var Placing
Var Committing
; What was there before, so that a failure takes away only this run's.
Var HadEntry
Var HadProgramsLink
Var HadDesktopLink

!macro WRITE_CHECK WHAT
    ${If} ${Errors}
        Push "Could not write ${WHAT}. Nothing was changed."
        Push ${EXIT_WRITE}
        Call Stop
        Abort
    ${EndIf}
!macroend

; Stops unless the Wallpapers plug-in's call went well.
!macro WALLPAPERS_CHECK
    ${If} $R0 == link
        Push "$R1 Nothing was changed."
        Push ${EXIT_LINK}
        Call Stop
        Abort
    ${ElseIf} $R0 != ok
        Push "$R1 Nothing was changed."
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
    !insertmacro WALLPAPERS "" Plan ""
    !insertmacro WALLPAPERS_CHECK
    StrCpy $WallpaperNeedKiB $R2
    Call CheckRoom

    ReadRegStr $HadEntry HKCU "${UNINSTALL_KEY}" "UninstallString"
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

; The wallpapers, unpacked where only this account writes and placed from
; there by the rule.
Section "-Wallpapers" SecWallpapers
    SetOutPath "$PLUGINSDIR\wallpapers"
    ClearErrors
    !macro WALLPAPER FILE SIZE
        File "${WALLPAPERS}\${FILE}"
    !macroend
    !include "${WALLPAPER_LIST}"
    !macroundef WALLPAPER
    !insertmacro WRITE_CHECK "the wallpapers into $PLUGINSDIR"
    SetOutPath "$INSTDIR"
    StrCpy $Placing 1
    !insertmacro WALLPAPERS "" Place '"$PLUGINSDIR\wallpapers"'
    !insertmacro WALLPAPERS_CHECK
    StrCpy $Kept $R3
    RMDir /r "$PLUGINSDIR\wallpapers"
SectionEnd

Section "Desktop shortcut" SecDesktop
SectionEnd

; Everything is whole: put it in place, make the shortcuts and the entry.
Section "-Commit"
    SetShellVarContext current
    StrCpy $Committing 1
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

    ; Whole: the wallpapers' journal goes, and with it the way back.
    !insertmacro WALLPAPERS "" Finish ""
    StrCpy $Committing ""
    Delete "$INSTDIR\Tumblewick.exe.old"
    Delete "$INSTDIR\uninstall.exe.old"
    ${If} $Kept != ""
        MessageBox MB_OK|MB_ICONEXCLAMATION "These wallpapers in ${WALLPAPER_FOLDER} were kept as they are, not replaced:$Kept" /SD IDOK
    ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The program, its Start-menu shortcut and the 24 character wallpapers."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "A shortcut to Tumblewick on the desktop."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

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
    ${If} $Placing == 1
        !insertmacro WALLPAPERS "" Undo ""
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
    ; The folders this run made for the program, deepest first, where empty;
    ; none can go while it is the current folder.
    SetOutPath "$TEMP"
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
FunctionEnd
