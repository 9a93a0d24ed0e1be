; The peer: what an NSIS script needs for the same checks and launches as
; Hotfix.exe, for comparing size (and start-up, where 32-bit programs run).
; makensis -DOUTFILE=peer.exe bench/peer.nsi
Unicode true
!ifndef OUTFILE
  !define OUTFILE peer.exe
!endif
OutFile "${OUTFILE}"
Name "Orvane Firewall v3.03 Hotfix (CR 40517)"
Caption "Reboot"
RequestExecutionLevel admin
SilentInstall silent
SetCompressor /SOLID lzma

!include LogicLib.nsh
!include WinVer.nsh
!include x64.nsh

!define WARNING_TITLE_TEXT "Questo aggiornamento rapido si applica solo alle installazioni di Orvane Firewall v3.03 su Windows XP."

Function NotApplicable
  MessageBox MB_OK|MB_ICONEXCLAMATION "${WARNING_TITLE_TEXT}"
  SetErrorLevel 1642
  Quit
FunctionEnd

Section
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ${IfNot} ${IsWinXP}
  ${AndIfNot} ${IsWin2003}
    Call NotApplicable
  ${EndIf}
  ReadRegStr $0 HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}" "DisplayName"
  ${IfNot} $0 S== "Orvane Firewall v3.03"
    Call NotApplicable
  ${EndIf}
  ReadRegStr $1 HKLM "SOFTWARE\Orvane\Orvane firewall" "Installpath"
  ClearErrors
  GetDLLVersion "$1trk.exe" $2 $3
  ${If} ${Errors}
  ${OrIf} $2 != 196611   ; 3.3 as (3 << 16) | 3
  ${OrIf} $3 != 65536000 ; 1000.0 as (1000 << 16) | 0
    Call NotApplicable
  ${EndIf}
  ExecShellWait "" "$EXEDIR\40517.exe" "" SW_HIDE
  ExecShellWait "" "$EXEDIR\40517-2.exe" "" SW_HIDE
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Riavviare Windows per rendere effettive le modifiche apportate. Riavviare adesso?" IDYES restart
  SetErrorLevel 3010
  Quit
restart:
  SetErrorLevel 1641
  Reboot
SectionEnd
