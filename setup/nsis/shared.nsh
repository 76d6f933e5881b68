; What setup and its uninstaller share: telling and stopping, the running
; program, one setup at a time, and the Wallpapers plug-in. `un` is "" or
; "un.".
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
!macroend
!insertmacro SHARED "" "Tumblewick setup"
!insertmacro SHARED "un." "Tumblewick uninstall"

; Calls the Wallpapers plug-in: Wallpapers::OP with the version and ARGS.
; Tells the lines it gives; leaves its status in $R0 ("ok", "link" or
; "fail"), its failure's text in $R1, the KiB it writes in $R2 and the kept
; wallpapers' names in $R3.
!macro WALLPAPERS un OP ARGS
    Wallpapers::${OP} "${VERSION}" ${ARGS}
    Pop $R0
    Pop $R1
    Pop $R2
    Pop $R3
    Pop $R4
    ${DoWhile} $R4 > 0
        Call ${un}Say
        IntOp $R4 $R4 - 1
    ${Loop}
!macroend
