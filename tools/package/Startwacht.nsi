; The Windows installer of Startwacht, built by tools/package.sh with
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.2 -DSTAGE=<folder with Startwacht.exe
;            and LIESMICH.txt> -DICON=<Startwacht.ico> -DOUTFILE=<installer> Startwacht.nsi
; Silent installation: Startwacht-<version>-Setup.exe /S [/AUTOSTART] [/D=<folder>]
; Silent removal:      Deinstallieren.exe /S
; It installs the program into the program folder, makes a start-menu
; entry, can register the program to start with Windows (the current user's
; Run value, as the program's own check box does) and leaves an uninstaller
; that takes all of it away again. The user's settings and log in the system
; folder stay.

Unicode true
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION fehlt (-DVERSION=...)"
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

!define APP "Startwacht"
!define RUNKEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Startwacht"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${APP}"
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1031 "ProductName" "${APP}"
VIAddVersionKey /LANG=1031 "ProductVersion" "Version ${VERSION}"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "FileDescription" "${APP} ${VERSION} – Installation"
VIAddVersionKey /LANG=1031 "LegalCopyright" "Freeware"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\Startwacht.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Startwacht jetzt starten"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LIESMICH.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "LIESMICH.txt anzeigen"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

Section "Startwacht (Programm und Startmenü)" SecProgram
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\Startwacht.exe"
  File "${STAGE}\LIESMICH.txt"
  WriteUninstaller "$INSTDIR\Deinstallieren.exe"

  CreateDirectory "$SMPROGRAMS\${APP}"
  CreateShortcut "$SMPROGRAMS\${APP}\${APP}.lnk" "$INSTDIR\Startwacht.exe"
  CreateShortcut "$SMPROGRAMS\${APP}\LIESMICH.lnk" "$INSTDIR\LIESMICH.txt"
  CreateShortcut "$SMPROGRAMS\${APP}\${APP} deinstallieren.lnk" "$INSTDIR\Deinstallieren.exe"

  ; The entry under "Programme und Features".
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APP} ${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\Startwacht.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\Deinstallieren.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\Deinstallieren.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

; Off unless chosen; a silent installation (/S) takes it with /AUTOSTART.
Section /o "Automatisch mit Windows starten" SecAutostart
  ; Quoted: the program folder's path contains spaces.
  WriteRegStr HKCU "${RUNKEY}" "${APP}" '"$INSTDIR\Startwacht.exe"'
SectionEnd

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AUTOSTART" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  DeleteRegValue HKCU "${RUNKEY}" "${APP}"
  Delete /REBOOTOK "$INSTDIR\Startwacht.exe"
  Delete "$INSTDIR\LIESMICH.txt"
  Delete "$INSTDIR\Deinstallieren.exe"
  RMDir /REBOOTOK "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}\${APP}.lnk"
  Delete "$SMPROGRAMS\${APP}\LIESMICH.lnk"
  Delete "$SMPROGRAMS\${APP}\${APP} deinstallieren.lnk"
  RMDir "$SMPROGRAMS\${APP}"
  DeleteRegKey HKLM "${UNINSTKEY}"
  IfRebootFlag 0 +2
    MessageBox MB_OK|MB_ICONINFORMATION "Startwacht läuft noch. Es wird beim nächsten Neustart von Windows vollständig entfernt." /SD IDOK
SectionEnd
