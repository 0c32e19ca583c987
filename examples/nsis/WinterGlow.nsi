; Setup of the WinterGlow effect package: copies the effect file into the editor's directory,
; writes the package's section of ExEffConfig.ini and runs fxinstall.exe, which merges the
; entries into the editor's lists. The uninstaller undoes it. See docs/package-authors.md.
;
;   makensis WinterGlow.nsi          builds WinterGlow-setup.exe beside this file
;   WinterGlow-setup.exe /S /D=C:\Program Files\Vaskel     installs without asking (the editor's
;                                    directory last, unquoted); the exit code is 0 when all is done

; A Unicode setup. It writes the section through the system's ANSI code page, so every text
; below is plain ASCII (see "Code page" in the guide). x86-unicode serves every Windows; this
; example is built for amd64 because that is what our tests can run under 64-bit Wine.
Target amd64-unicode

!include LogicLib.nsh

!define PACKAGE "WinterGlow"
!define CONFIG "$INSTDIR\ExEffConfig.ini"
!define UNINSTALLER "${PACKAGE}-uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PACKAGE}"

Name "${PACKAGE} effects"
OutFile "${PACKAGE}-setup.exe"
; The editor usually lives under Program Files, where only an elevated process may write, and
; fxinstall.exe asks for no elevation of its own: it inherits the setup's.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\Vaskel"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; fxinstall.exe finds every file next to itself, so the package goes where it is: the
; directory page accepts only a directory that holds it.
Function .onVerifyInstDir
  ${IfNot} ${FileExists} "$INSTDIR\fxinstall.exe"
    Abort
  ${EndIf}
FunctionEnd

Section "${PACKAGE}"
  ; A silent setup (/S /D=...) shows no directory page: check again.
  ${IfNot} ${FileExists} "$INSTDIR\fxinstall.exe"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR is not the editor's directory: it holds no fxinstall.exe." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "WinterGlow.eff"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PACKAGE} effects"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'

  ; The section is written afresh: the INI functions find a section or key in any letter case
  ; and would update an older [winterglow] or "textin=" in place, which fxinstall, reading
  ; names exactly, would never find; and a key that this version no longer has would stay.
  ClearErrors
  DeleteINISec "${CONFIG}" "${PACKAGE}"
  ; One key per category, all its entries in one value (a second WriteINIStr of the same key
  ; replaces the first). A value holds at most 1023 characters; a longer one is cut silently.
  WriteINIStr "${CONFIG}" "${PACKAGE}" "TextIn" "Frost>FrostIn:=0,10,1;Frost>FrostSparkle"
  WriteINIStr "${CONFIG}" "${PACKAGE}" "TextOut" "Frost>FrostOut:=1,10,1"
  WriteINIStr "${CONFIG}" "${PACKAGE}" "Style" "Frost>IcyLetters:=2,1"
  WriteINIStr "${CONFIG}" "${PACKAGE}" "Scene" "Nature>Snowfall"
  WriteINIStr "${CONFIG}" "${PACKAGE}" "Dir" "MovieTitle"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "Cannot write ${CONFIG}." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  ; Written to disk before fxinstall reads it. (The flush may set the error flag even when it
  ; worked, so the flag is looked at before.)
  FlushINI "${CONFIG}"

  ; nsExec runs the console program without a window and shows what it reports (one line per
  ; problem) in the details list; ExecWait would flash a console window and lose those lines.
  ; No /TIMEOUT: fxinstall prints nothing while it works and may wait up to 60 s for another
  ; installation in the same directory.
  DetailPrint "Adding the effects to the editor's lists..."
retry:
  nsExec::ExecToLog '"$INSTDIR\fxinstall.exe" "${PACKAGE}"'
  Pop $0
  ${If} $0 == 0
    DetailPrint "The effects are in the editor's lists."
  ${ElseIf} $0 == 2
    ; Some list could not be read or written (the lines above name it), or another
    ; installation held the directory. Running fxinstall again is safe: a list is never left
    ; half written, and what is in place already is not added twice.
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Some effects could not be added to the editor's lists (see the details).$\n$\nClose the editor, make sure the list files in $INSTDIR may be written, and click Retry." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Abort "The effects were not all added. Run this setup again to finish."
  ${Else}
    ; 1: fxinstall.exe could not start; "error": it could not be run at all.
    MessageBox MB_OK|MB_ICONSTOP "fxinstall.exe did not run ($0)." /SD IDOK
    SetErrorLevel 2
    Abort "The effects were not added."
  ${EndIf}
SectionEnd

Section "Uninstall"
  ; fxremove.exe takes out what fxinstall put into the lists for this package; it reads what
  ; it needs before the section goes, so it runs first. An editor without it keeps the lines.
  ${If} ${FileExists} "$INSTDIR\fxremove.exe"
    nsExec::ExecToLog '"$INSTDIR\fxremove.exe" "${PACKAGE}"'
    Pop $0
    ${If} $0 != 0
      MessageBox MB_OK|MB_ICONSTOP "The effects could not be taken out of the editor's lists ($0); nothing was removed. Close the editor and uninstall again." /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}

  DeleteINISec "${CONFIG}" "${PACKAGE}"
  FlushINI "${CONFIG}"
  Delete "$INSTDIR\WinterGlow.eff"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd
