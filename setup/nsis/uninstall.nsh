; The uninstaller: takes away what setup placed and nothing that the
; program's clicks made (its .url files, the browser's start page and the
; wallpaper setting stay). Each step can be cut and the uninstall run again:
; the wallpapers first (the rule finishes a cut removal), the entry before
; the uninstaller it names.

Function un.onInit
    SetShellVarContext current
    Call un.TakeTurn
    Call un.CheckNotRunning
FunctionEnd

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
    !insertmacro WALLPAPERS "un." Remove ""
    ${If} $R0 != ok
        Push "Left the wallpapers alone: $R1"
        Call un.Say
    ${EndIf}
    Delete "$SMPROGRAMS\Tumblewick.lnk"
    Delete "$DESKTOP\Tumblewick.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
