; A Unicode setup that writes a Chinese group name with WriteINIStr, for nsis_e2e.sh. The INI
; functions write the file in the system's ANSI code page; where that code page has no such
; characters, each one arrives as "?". So the entry meant for the list's section "*城市" lands
; in a new section "+??". Built with -INPUTCHARSET UTF8.
Target amd64-unicode

Name "CityNights"
OutFile "CityNights-setup.exe"
RequestExecutionLevel admin

Section
  WriteINIStr "$INSTDIR\ExEffConfig.ini" "CityNights" "Scene" "城市>Night snow"
  FlushINI "$INSTDIR\ExEffConfig.ini"
  nsExec::ExecToLog '"$INSTDIR\fxinstall.exe" "CityNights"'
  Pop $0
  SetErrorLevel $0
  ; The code page the text went through, for the test to tell.
  System::Call 'kernel32::GetACP() i .r1'
  FileOpen $2 "$INSTDIR\codepage.txt" w
  FileWrite $2 "$1"
  FileClose $2
SectionEnd
