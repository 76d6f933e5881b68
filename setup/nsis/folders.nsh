; The program folder: where it goes, whether it can be used, and the room on
; the drives setup writes to.

; ${If} ${IsFolder} PATH: PATH is a folder, a drive's root included (which
; ${FileExists} "PATH\*.*" misses when it is empty).
!macro _IsFolder _a _b _t _f
    !insertmacro _LOGICLIB_TEMP
    ${GetFileAttributes} "${_b}\" "DIRECTORY" $_LOGICLIB_TEMP
    StrCmp $_LOGICLIB_TEMP 1 `${_t}` `${_f}`
!macroend
!define IsFolder `"" IsFolder`

; The user's program folder as Windows names it (FOLDERID_UserProgramFiles),
; unless an installed copy or /D= chose another.
Function UserProgramFolder
    ${If} $INSTDIR != "$LOCALAPPDATA\Programs\Tumblewick"
        Return
    ${EndIf}
    System::Call 'shell32::SHGetKnownFolderPath(g "{5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}", i 0, p 0, *p .r1) i .r0'
    ${If} $0 = 0
        System::Call '*$1(&w${NSIS_MAX_STRLEN} .r2)'
        System::Call 'ole32::CoTaskMemFree(p r1)'
        StrCpy $INSTDIR "$2\Tumblewick"
    ${EndIf}
FunctionEnd

; Pops a path; pushes the nearest folder at or above it that exists, "" when
; there is none.
Function ExistingFolder
    Exch $0
    ${DoUntil} $0 == ""
        ${If} ${IsFolder} "$0"
            ${Break}
        ${EndIf}
        ${GetParent} "$0" $0
    ${Loop}
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

!macro REFUSE_FOLDER TEXT
    Push "${TEXT} Nothing was changed."
    Push ${EXIT_FOLDER}
    Call Stop
    Abort
!macroend

; The program folder must be a folder that can be made, within Windows' path
; limit for the files setup puts in it, and away from the shared wallpaper
; folder (the uninstaller removes it); a file in its place, or above it, is
; never worked around by installing somewhere else.
Function CheckFolder
    Push $0
    Push $1
    Push $2
    StrLen $0 "$INSTDIR"
    IntOp $0 $0 + ${LONGEST_NAME_LENGTH}
    ${If} $0 >= ${MAX_PATH}
        !insertmacro REFUSE_FOLDER "Cannot install into $\"$INSTDIR$\": the path is too long for Windows. Choose a shorter one."
    ${EndIf}
    ; Each with one backslash at its end, so that a prefix is a folder.
    StrCpy $0 "$INSTDIR"
    StrCpy $1 $0 1 -1
    ${If} $1 != "\"
        StrCpy $0 "$0\"
    ${EndIf}
    StrLen $1 $0
    StrCpy $1 "${WALLPAPER_FOLDER}\" $1
    StrLen $2 "${WALLPAPER_FOLDER}\"
    StrCpy $2 $0 $2
    ${If} $1 == $0
    ${OrIf} $2 == "${WALLPAPER_FOLDER}\"
        !insertmacro REFUSE_FOLDER "Cannot install into $\"$INSTDIR$\": it holds the shared wallpaper folder or lies inside it. Choose another folder."
    ${EndIf}
    StrCpy $0 "$INSTDIR"
    ${DoUntil} $0 == ""
        ${If} ${FileExists} "$0"
            ${IfNot} ${IsFolder} "$0"
                !insertmacro REFUSE_FOLDER "Cannot install into $\"$INSTDIR$\": $\"$0$\" is a file, not a folder."
            ${EndIf}
            ${Break}
        ${EndIf}
        ${GetParent} "$0" $0
    ${Loop}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; NSIS puts its default folder in place of a /D= folder it cannot use; setup
; refuses instead. /D= is always the last thing on the command line.
Function CheckGivenFolder
    Push $0
    Push $1
    System::Call 'kernel32::GetCommandLineW() w .r0'
    ${WordFind} $0 '"/D=' "E#" $1
    ${IfNot} ${Errors}
        !insertmacro REFUSE_FOLDER "Cannot read the folder to install into: give /D= last and without quotes, even when the folder's name has spaces."
    ${EndIf}
    ${WordFind} $0 " /D=" "E-1}" $1
    ${IfNot} ${Errors}
        ; NSIS drops one trailing backslash.
        StrCpy $0 $1 1 -1
        ${If} $0 == "\"
            StrCpy $1 $1 -1
        ${EndIf}
        ${If} $InstalledFolder != ""
        ${AndIf} $1 != $InstalledFolder
            !insertmacro REFUSE_FOLDER "Tumblewick is installed in $\"$InstalledFolder$\"; it is upgraded there. Uninstall it first to install it elsewhere."
        ${EndIf}
        ${If} $1 != $INSTDIR
            !insertmacro REFUSE_FOLDER "Cannot install into $\"$1$\": it is not a folder path that can be made."
        ${EndIf}
    ${EndIf}
    Pop $1
    Pop $0
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

!macro NO_ROOM DRIVE NEED FREE WHAT
    IntOp ${NEED} ${NEED} / 1024
    IntOp ${NEED} ${NEED} + 1
    System::Int64Op ${FREE} / 1024
    Pop ${FREE}
    Push "Not enough free space on ${DRIVE} for ${WHAT}: ${NEED} MB needed, ${FREE} MB free. Nothing was changed."
    Push ${EXIT_SPACE}
    Call Stop
    Abort
!macroend

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
        !insertmacro NO_ROOM $2 $0 $4 "$\"$INSTDIR$\""
    ${EndIf}
    ${If} $5 L< $1
        !insertmacro NO_ROOM $3 $1 $5 "the wallpapers in ${WALLPAPER_FOLDER}"
    ${EndIf}
FunctionEnd

; Pops a folder and makes it with its parents; $ProgramTop is the highest
; folder made.
Function MakeProgramFolder
    Exch $0
    StrCpy $ProgramTop ""
    StrCpy $1 $0
    ${DoUntil} $1 == ""
        ${If} ${IsFolder} "$1"
            ${Break}
        ${EndIf}
        StrCpy $ProgramTop $1
        ${GetParent} "$1" $1
    ${Loop}
    ClearErrors
    CreateDirectory "$0"
    ${If} ${Errors}
    ${OrIfNot} ${IsFolder} "$0"
        !insertmacro REFUSE_FOLDER "Cannot make the folder $\"$0$\"."
    ${EndIf}
    Pop $0
FunctionEnd
