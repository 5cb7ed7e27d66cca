; The Windows installer of Startwacht, built by tools/package.sh with
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.2 -DFILEVERSION=2.2.0.0
;            -DSTAGE=<folder with Startwacht.exe and LIESMICH.txt>
;            -DICON=<Startwacht.ico> -DOUTFILE=<installer> Startwacht.nsi
; VERSION and FILEVERSION are the version of the Startwacht.exe in STAGE.
; Silent installation: Startwacht-<version>-Setup.exe /S [/AUTOSTART] [/D=<folder>]
; Silent removal:      Deinstallieren.exe /S
;
; It installs for the user who runs it, with that user's rights (it asks for
; no elevation): the program into %LOCALAPPDATA%\Programs\Startwacht, the
; start-menu entry and the uninstall entry under the user's own profile and
; HKEY_CURRENT_USER, and, if chosen, the user's Run value, as the program's
; own check box writes it. A Startwacht that runs in the user's session is
; asked to end before its program is replaced (as Windows asks it at the end
; of a session: it writes its settings and log and ends), and the new version
; is started afterwards. Every start the installer makes runs as the user.
; The user's settings and log in the system folder are never touched.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user
; A file that can't be written stops the installation ("Abbrechen") or is
; tried again ("Wiederholen"); it is never skipped, which would leave the old
; program under the new version's entry.
AllowSkipFiles off

!ifndef VERSION
  !error "VERSION fehlt (-DVERSION=...)"
!endif
!ifndef FILEVERSION
  !error "FILEVERSION fehlt (-DFILEVERSION=...)"
!endif
!ifndef STAGE
  !error "STAGE fehlt (-DSTAGE=...)"
!endif
!ifndef ICON
  !error "ICON fehlt (-DICON=...)"
!endif
!ifndef OUTFILE
  !define OUTFILE "Startwacht-${VERSION}-Setup.exe"
!endif

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WordFunc.nsh"

!define APP "Startwacht"
!define EXE "Startwacht.exe"
!define RUNKEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Startwacht"
; The running program's main window, found by its class and caption.
!define WINDOW_CLASS "TForm1"
!define WINDOW_CAPTION "Startwacht"

; With WM_QUERYENDSESSION and WM_ENDSESSION (WinMessages.nsh): the session
; does not end, only this application is asked to close.
!define ENDSESSION_CLOSEAPP 1
!define SYNCHRONIZE 0x00100000
!define TOKEN_QUERY 8
!define PROCESS_QUERY_INFORMATION 0x0400
!define TokenElevationType 18
!define TokenElevationTypeFull 2
; How long a running copy may take to end.
!define END_TIMEOUT_MS 10000

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTKEY}" "InstallLocation"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${FILEVERSION}"
VIAddVersionKey /LANG=1031 "ProductName" "${APP}"
VIAddVersionKey /LANG=1031 "ProductVersion" "Version ${VERSION}"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "FileDescription" "${APP} ${VERSION} – Installation"
VIAddVersionKey /LANG=1031 "LegalCopyright" "Freeware"


; "1" once a running Startwacht was ended for the installation: the new
; version is started afterwards.
Var Ended
; "1" once the installer has started the new version.
Var Started

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Startwacht jetzt starten"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LIESMICH.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "LIESMICH.txt anzeigen"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

; ---- Shared by the installer and the uninstaller.

; Ends every Startwacht that runs in this session, as Windows' restart of an
; application does: the question whether the session may end, then its end;
; the program writes its settings and log at the question and ends itself.
; Waits until each process has ended (its program file is free then). When
; one does not end, the user may try again or stop; a silent run stops. A
; stop changes nothing: the installation has not begun.
!macro END_RUNNING_COPIES un
Function ${un}EndRunningCopies
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $5 0
  ${Do}
    FindWindow $0 "${WINDOW_CLASS}" "${WINDOW_CAPTION}"
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    StrCpy $Ended 1
    DetailPrint "Startwacht läuft und wird beendet ..."
    StrCpy $1 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
    StrCpy $3 0
    SendMessage $0 ${WM_QUERYENDSESSION} 0 ${ENDSESSION_CLOSEAPP} $3 /TIMEOUT=${END_TIMEOUT_MS}
    ${If} $3 = 0
      ; Refused or no answer: told that the session goes on, it guards on.
      SendMessage $0 ${WM_ENDSESSION} 0 ${ENDSESSION_CLOSEAPP} /TIMEOUT=${END_TIMEOUT_MS}
      StrCpy $4 1
    ${Else}
      SendMessage $0 ${WM_ENDSESSION} 1 ${ENDSESSION_CLOSEAPP} /TIMEOUT=${END_TIMEOUT_MS}
      ${If} $2 P<> 0
        ; WAIT_OBJECT_0 (0) once the process has ended.
        System::Call 'kernel32::WaitForSingleObject(p r2, i ${END_TIMEOUT_MS}) i .r4'
      ${Else}
        ; A process that can't be opened: its window must go.
        StrCpy $4 1
        ${For} $3 1 100
          System::Call 'user32::IsWindow(p r0) i .r1'
          ${If} $1 = 0
            StrCpy $4 0
            ${Break}
          ${EndIf}
          Sleep 100
        ${Next}
      ${EndIf}
    ${EndIf}
    ${If} $2 P<> 0
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    ${If} $4 <> 0
    ${OrIf} $5 >= 20
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Startwacht läuft noch und lässt sich nicht beenden.$\r$\n$\r$\nBeenden Sie es mit „Beenden“ im Menü seines Symbols und wählen Sie dann „Wiederholen“. „Abbrechen“ lässt alles, wie es ist." /SD IDCANCEL IDRETRY retry
      SetErrorLevel 3
      Abort
      retry:
      StrCpy $5 0
    ${EndIf}
    IntOp $5 $5 + 1
  ${Loop}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_COPIES ""
!insertmacro END_RUNNING_COPIES "un."

; The Run value's text for the installed program, as the program itself
; writes it: the path, in quotes when it contains a space.
!macro RUN_VALUE_DATA un
Function ${un}RunValueData
  Push $0
  Push $1
  Push $2
  StrCpy $0 "$INSTDIR\${EXE}"
  StrCpy $1 0
  ${Do}
    StrCpy $2 $0 1 $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    ${If} $2 == " "
      StrCpy $0 '"$0"'
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
!macroend
!insertmacro RUN_VALUE_DATA ""
!insertmacro RUN_VALUE_DATA "un."

; Removes the user's Run value when it starts the program in $INSTDIR; a
; value that starts another copy of Startwacht stays.
!macro REMOVE_OWN_RUN_VALUE un
Function ${un}RemoveOwnRunValue
  Push $0
  Push $1
  ClearErrors
  ReadRegStr $0 HKCU "${RUNKEY}" "${APP}"
  ${IfNot} ${Errors}
    Call ${un}RunValueData
    Pop $1
    ${If} $0 == $1
    ${OrIf} $0 == "$INSTDIR\${EXE}"
    ${OrIf} $0 == '"$INSTDIR\${EXE}"'
      DeleteRegValue HKCU "${RUNKEY}" "${APP}"
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro REMOVE_OWN_RUN_VALUE ""
!insertmacro REMOVE_OWN_RUN_VALUE "un."

; ---- The installer.


Section "Startwacht (Programm und Startmenü)" SecProgram
  SectionIn RO
  SetShellVarContext current
  Call EndRunningCopies

  SetOutPath "$INSTDIR"
  File "${STAGE}\${EXE}"
  File "${STAGE}\LIESMICH.txt"
  WriteUninstaller "$INSTDIR\Deinstallieren.exe"

  CreateDirectory "$SMPROGRAMS\${APP}"
  CreateShortcut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\${EXE}"
  CreateShortcut "$SMPROGRAMS\${APP}\LIESMICH.lnk" "$INSTDIR\LIESMICH.txt"
  CreateShortcut "$SMPROGRAMS\${APP}\${APP} deinstallieren.lnk" "$INSTDIR\Deinstallieren.exe"

  ; The entry under "Programme und Features" (or "Software"), for this user;
  ; written once the new program is in place.
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayName" "${APP} ${VERSION}"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr HKCU "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTKEY}" "UninstallString" '"$INSTDIR\Deinstallieren.exe"'
  WriteRegStr HKCU "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\Deinstallieren.exe" /S'
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoRepair" 1
SectionEnd

; Off unless chosen, /AUTOSTART given, or already on.
Section /o "Automatisch mit Windows starten" SecAutostart
  Call RunValueData
  Pop $0
  WriteRegStr HKCU "${RUNKEY}" "${APP}" $0
SectionEnd

Section "-Start"
  ${IfNot} ${SectionIsSelected} ${SecAutostart}
    Call RemoveOwnRunValue
  ${EndIf}
  ; The new version runs where the old one ran; a silent installation with
  ; autostart starts it too, as the next logon would.
  ${If} $Ended = 1
    Call StartProgram
  ${ElseIf} ${Silent}
  ${AndIf} ${SectionIsSelected} ${SecAutostart}
    Call StartProgram
  ${EndIf}
SectionEnd

Function .onInit
  StrCpy $Ended 0
  StrCpy $Started 0
  ; An installer that runs with more rights than the user's desktop ("Als
  ; Administrator ausführen" while the shell runs with the user's standard
  ; rights, or another account's password typed in): everything would go to
  ; the account that gave the rights, and the program would run elevated,
  ; where its files and its Run value are not the user's. It fails closed:
  ; an elevated installer goes on only beside a shell that is elevated too;
  ; a shell whose token can't be read (another account's explorer.exe, or no
  ; shell at all) counts as one that is not. Where the system knows no
  ; elevation (XP) or the installer is not elevated, it goes on.
  Call OwnElevationType
  Pop $0
  ${If} $0 = ${TokenElevationTypeFull}
    Call ShellElevationType
    Pop $1
    ${If} $1 <> ${TokenElevationTypeFull}
      MessageBox MB_OK|MB_ICONEXCLAMATION "Das Installationsprogramm läuft mit Administratorrechten.$\r$\n$\r$\nStartwacht wird für Ihr eigenes Benutzerkonto installiert und braucht dafür keine Administratorrechte. Starten Sie das Installationsprogramm bitte ohne „Als Administrator ausführen“." /SD IDOK
      SetErrorLevel 4
      Abort
    ${EndIf}
  ${EndIf}

  ; Autostart stays on where the user had it; /AUTOSTART switches it on.
  ClearErrors
  ReadRegStr $0 HKCU "${RUNKEY}" "${APP}"
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

; The two readings of the elevation check in .onInit, each put on the
; stack: the installer's own elevation type, and that of the shell's
; process (the owner of the desktop's shell window, or of the taskbar), 0
; where it can't be read. An installer built with -DELEVATION_FROM_COMMAND_LINE, for the test
; of the check alone, takes both from its command line instead:
; /ELEVATION=<own>,<shell>.
!ifdef ELEVATION_FROM_COMMAND_LINE
Function ElevationFromCommandLine
  Exch $0
  Push $1
  Push $2
  ${GetParameters} $1
  ${GetOptions} $1 "/ELEVATION=" $2
  ${WordFind} $2 "," "+$0" $0
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
Function OwnElevationType
  Push 1
  Call ElevationFromCommandLine
FunctionEnd
Function ShellElevationType
  Push 2
  Call ElevationFromCommandLine
FunctionEnd
!else
Function OwnElevationType
  Push -1
  Call ElevationTypeOf
FunctionEnd
Function ShellElevationType
  Push $0
  Push $1
  Push $2
  StrCpy $0 0
  System::Call 'user32::GetShellWindow() p .r1'
  ${If} $1 P= 0
    ; A shell that sets no shell window (Wine's): the taskbar's process.
    FindWindow $1 "Shell_TrayWnd"
  ${EndIf}
  ${If} $1 P<> 0
    StrCpy $2 0
    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2) i'
    System::Call 'kernel32::OpenProcess(i ${PROCESS_QUERY_INFORMATION}, i 0, i r2) p .r1'
    ${If} $1 P<> 0
      Push $1
      Call ElevationTypeOf
      Pop $0
      System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The elevation type (TOKEN_ELEVATION_TYPE) of a process's token: takes the
; process handle from the stack (-1: the installer's own process) and puts
; the type there, 0 where the system can't tell.
Function ElevationTypeOf
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $4 0
  System::Call 'advapi32::OpenProcessToken(p r0, i ${TOKEN_QUERY}, *p .r1) i .r2'
  ${If} $2 <> 0
    StrCpy $3 0
    System::Call 'advapi32::GetTokenInformation(p r1, i ${TokenElevationType}, *i .r3, i 4, *i .r2) i .r2'
    ${If} $2 <> 0
      StrCpy $4 $3
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  StrCpy $0 $4
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
!endif

; Started by the installer, which runs with the user's own rights, so the
; program runs as the user.
Function StartProgram
  ${If} $Started = 0
    Exec '"$INSTDIR\${EXE}"'
    StrCpy $Started 1
  ${EndIf}
FunctionEnd

; The finish page offers the start only when the installer has not started
; the program already.
Function FinishShow
  ${If} $Started = 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
FunctionEnd

; An older installation for all users (the versions before this one
; installed into the program folder) is not removed here: that needs an
; administrator. The user is told where it is.
Function .onInstSuccess
  ClearErrors
  ReadRegStr $0 HKLM "${UNINSTKEY}" "InstallLocation"
  ${IfNot} ${Errors}
  ${AndIf} $0 != ""
  ${AndIf} $0 != $INSTDIR
    MessageBox MB_OK|MB_ICONINFORMATION "Eine ältere Installation von Startwacht für alle Benutzer liegt noch in$\r$\n$0.$\r$\n$\r$\nStartwacht startet jetzt aus $INSTDIR. Die ältere Installation entfernt ein Administrator unter „Programme und Features“ (Windows XP: „Software“)." /SD IDOK
  ${EndIf}
FunctionEnd

; ---- The uninstaller.

Function un.onInit
  StrCpy $Ended 0
  StrCpy $Started 0
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.EndRunningCopies
  Call un.RemoveOwnRunValue
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\LIESMICH.txt"
  Delete "$INSTDIR\Deinstallieren.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
  Delete "$SMPROGRAMS\${APP}\LIESMICH.lnk"
  Delete "$SMPROGRAMS\${APP}\${APP} deinstallieren.lnk"
  RMDir "$SMPROGRAMS\${APP}"
  DeleteRegKey HKCU "${UNINSTKEY}"
SectionEnd
