; Kadrovix's per-user installer and uninstaller (NSIS 3, 64-bit Unicode).
;
; package.sh builds it with
;   makensis -DVERSION=x.y.z -DSTAGE=<folder holding kadrovix.exe> -DOUTFILE=<setup.exe> kadrovix.nsi
; VERSION comes from project() in CMakeLists.txt; nothing here repeats it.
;
; Switches: /S installs silently; /S /START also starts Kadrovix afterwards
; (an interactive install offers that on its last page instead). The
; uninstaller's /S keeps the settings file. Exit codes: 0 done, 1 cancelled,
; 2 a step failed (and the previous installation is left working), 3 the
; system is older than Windows 10.

!ifndef VERSION | STAGE | OUTFILE
  !error "Pass -DVERSION=x.y.z -DSTAGE=folder -DOUTFILE=file (package.sh does)"
!endif

Unicode true
Target amd64-unicode
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define PRODUCT "Kadrovix"
!define PUBLISHER "Kadrovix"
!define EXE "kadrovix.exe"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT "$SMPROGRAMS\Kadrovix.lnk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kadrovix"
; The value the resident writes when "Start with Windows" is on.
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Kadrovix"
; What every Kadrovix process has while it runs: its main window's class and
; the single-instance mutexes of the resident and of the editor.
!define WINDOW_CLASS "Kadrovix.Window"
!define RESIDENT_MUTEX "Local\Kadrovix.Resident"
!define EDITOR_MUTEX "Local\Kadrovix.Editor"
; A resident quits within a second; this leaves room for a busy machine.
!define CLOSE_TIMEOUT_MS 10000
; A file the closing process still maps can stay locked a moment longer.
!define REPLACE_ATTEMPTS 20

!define SYNCHRONIZE 0x00100000
!define MOVEFILE_REPLACE_EXISTING_WRITE_THROUGH 9
!define FORMAT_MESSAGE_FROM_SYSTEM_IGNORE_INSERTS 0x1200

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kadrovix"
; An upgrade goes where the previous version is, even if the user moved it.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
FileErrorText "Could not write $0.$\r$\nThe disk may be full or the folder read-only. The previous installation, if any, is unchanged."

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"
!include "WinMessages.nsh"
!include "TextFunc.nsh"

!define MUI_ICON "../app/res/kadrovix.ico"
!define MUI_UNICON "../app/res/kadrovix.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!insertmacro MUI_PAGE_FINISH

UninstPage custom un.ConfirmPage un.ConfirmLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var RemoveSettings
Var RemoveSettingsBox

; Reports a failed step and stops: the message box (skipped by /S), the
; details list and the exit code 2 all carry it.
!macro FAIL text
  DetailPrint "${text}"
  MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

; CloseRunning: asks every Kadrovix window to close the way the tray menu's
; Quit does (WM_CLOSE; never a kill) and waits for its process to end, then
; for the resident's and the editor's mutexes to go, which also covers a
; process still starting or ending. WM_CLOSE is sent again each second: the
; first one only closes an open settings panel. Leaves "" on the stack, or
; what went wrong.
!macro DEFINE_CLOSE_RUNNING un
Function ${un}CloseRunning
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  System::Call 'kernel32::GetTickCount() i.r4'
  StrCpy $3 ""
  ${Do}
    FindWindow $0 "${WINDOW_CLASS}"
    ${If} $0 != 0
      System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
      System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p.r2'
      DetailPrint "Closing the running ${PRODUCT} (process $1)"
      System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
      ${If} $2 != 0
        System::Call 'kernel32::WaitForSingleObject(p r2, i 1000)'
        System::Call 'kernel32::CloseHandle(p r2)'
      ${Else}
        Sleep 250
      ${EndIf}
    ${Else}
      System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${RESIDENT_MUTEX}") p.r2'
      ${If} $2 == 0
        System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${EDITOR_MUTEX}") p.r2'
      ${EndIf}
      ${If} $2 == 0
        ${Break}
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
      Sleep 100
    ${EndIf}
    System::Call 'kernel32::GetTickCount() i.r1'
    IntOp $1 $1 - $4
    ${If} $1 > ${CLOSE_TIMEOUT_MS}
      StrCpy $3 "${PRODUCT} is still running and did not close. Quit it from its notification-area icon, then try again."
      ${Break}
    ${EndIf}
  ${Loop}
  StrCpy $0 $3
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_RUNNING ""
!insertmacro DEFINE_CLOSE_RUNNING "un."

; The system's text of error code $0, into $0.
Function ErrorText
  Push $1
  StrCpy $1 $0
  System::Call 'kernel32::FormatMessageW(i ${FORMAT_MESSAGE_FROM_SYSTEM_IGNORE_INSERTS}, p 0, i r1, i 0, w .r0, i ${NSIS_MAX_STRLEN}, p 0) i.r1'
  ${If} $1 == 0
    StrCpy $0 "system error $0"
  ${EndIf}
  ${TrimNewLines} $0 $0
  Pop $1
FunctionEnd

; Puts $INSTDIR\<name>.new in place of $INSTDIR\<name> (name on the stack)
; in one step, so the folder always holds either the old file or the new
; one. Leaves "" on the stack, or what went wrong (the .new file removed).
Function ReplaceWithNew
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $2 0
  ${Do}
    System::Call 'kernel32::MoveFileExW(w "$INSTDIR\$0.new", w "$INSTDIR\$0", i ${MOVEFILE_REPLACE_EXISTING_WRITE_THROUGH}) i.r1 ?e'
    Pop $3
    ${If} $1 != 0
      StrCpy $3 ""
      ${Break}
    ${EndIf}
    IntOp $2 $2 + 1
    ${If} $2 >= ${REPLACE_ATTEMPTS}
      Push $0
      StrCpy $0 $3
      Call ErrorText
      StrCpy $3 $0
      Pop $0
      Delete "$INSTDIR\$0.new"
      StrCpy $3 "Could not replace $INSTDIR\$0: $3 The previous installation is unchanged."
      ${Break}
    ${EndIf}
    Sleep 150
  ${Loop}
  StrCpy $0 $3
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

Function .onInit
  ${IfNot} ${AtLeastWin10}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs Windows 10 or later." /SD IDOK
    SetErrorLevel 3
    Abort
  ${EndIf}
  SetShellVarContext current
FunctionEnd

Section "${PRODUCT}"
  SectionIn RO
  Call CloseRunning
  Pop $0
  ${If} $0 != ""
    !insertmacro FAIL "$0"
  ${EndIf}

  ; Everything new is written beside the old files first: a full disk or a
  ; write error stops here with the previous installation untouched.
  SetOutPath "$INSTDIR"
  Delete "$INSTDIR\${EXE}.new"
  Delete "$INSTDIR\${UNINSTALLER}.new"
  ClearErrors
  File "/oname=${EXE}.new" "${STAGE}/${EXE}"
  ${If} ${Errors}
    !insertmacro FAIL "Could not write $INSTDIR\${EXE}.new. The previous installation is unchanged."
  ${EndIf}
  ClearErrors
  WriteUninstaller "$INSTDIR\${UNINSTALLER}.new"
  ${If} ${Errors}
    Delete "$INSTDIR\${EXE}.new"
    !insertmacro FAIL "Could not write $INSTDIR\${UNINSTALLER}.new. The previous installation is unchanged."
  ${EndIf}

  Push "${EXE}"
  Call ReplaceWithNew
  Pop $0
  ${If} $0 != ""
    Delete "$INSTDIR\${UNINSTALLER}.new"
    !insertmacro FAIL "$0"
  ${EndIf}
  ; The old uninstaller removes the same files, so a failure here still
  ; leaves a working installation.
  Push "${UNINSTALLER}"
  Call ReplaceWithNew
  Pop $0
  ${If} $0 != ""
    !insertmacro FAIL "$0"
  ${EndIf}

  ClearErrors
  CreateShortCut "${SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 SW_SHOWNORMAL "" "${PRODUCT} screenshot and annotation tool"
  ${If} ${Errors}
    !insertmacro FAIL "Could not create the Start-menu shortcut ${SHORTCUT}."
  ${EndIf}

  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  ClearErrors
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    !insertmacro FAIL "Could not write the uninstall entry HKCU\${UNINSTALL_KEY}."
  ${EndIf}
SectionEnd

; A file that could not be extracted stops the installation without reaching
; the replacing steps; only the half-written new files are cleared away.
Function .onInstFailed
  Delete "$INSTDIR\${EXE}.new"
  Delete "$INSTDIR\${UNINSTALLER}.new"
FunctionEnd

Function .onInstSuccess
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/START" $1
    ${IfNot} ${Errors}
      ; A process start can fail for a moment while another one is starting.
      ClearErrors
      Exec '"$INSTDIR\${EXE}"'
      ${If} ${Errors}
        Sleep 500
        Exec '"$INSTDIR\${EXE}"'
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; --- uninstaller ---------------------------------------------------------------

Function un.onInit
  SetShellVarContext current
  StrCpy $RemoveSettings ${BST_UNCHECKED}
FunctionEnd

Function un.ConfirmPage
  !insertmacro MUI_HEADER_TEXT "Uninstall ${PRODUCT}" "Remove ${PRODUCT} from this computer."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 40u "${PRODUCT} will be removed from $INSTDIR. If it is running, it is closed first.$\r$\n$\r$\nYour settings stay in $LOCALAPPDATA\Kadrovix for a later installation unless you remove them too."
  Pop $0
  ${NSD_CreateCheckbox} 0 52u 100% 12u "Also remove my settings"
  Pop $RemoveSettingsBox
  ${NSD_SetState} $RemoveSettingsBox $RemoveSettings
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${WM_SETTEXT} 0 "STR:&Uninstall"
  nsDialogs::Show
FunctionEnd

Function un.ConfirmLeave
  ${NSD_GetState} $RemoveSettingsBox $RemoveSettings
FunctionEnd

Section "Uninstall"
  Call un.CloseRunning
  Pop $0
  ${If} $0 != ""
    !insertmacro FAIL "$0 Nothing was removed."
  ${EndIf}

  ; The program goes first: if it cannot, nothing else is touched and the
  ; installation still works.
  Delete "$INSTDIR\${EXE}"
  ${If} ${FileExists} "$INSTDIR\${EXE}"
    !insertmacro FAIL "Could not remove $INSTDIR\${EXE}; it may be in use. Nothing else was removed."
  ${EndIf}
  Delete "$INSTDIR\${EXE}.new"
  Delete "$INSTDIR\${UNINSTALLER}.new"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  ; The resident writes this value again at every start while its setting
  ; is on, so a copy kept elsewhere gets it back the next time it runs.
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ${If} $RemoveSettings == ${BST_CHECKED}
    Delete "$LOCALAPPDATA\Kadrovix\settings.txt"
    Delete "$LOCALAPPDATA\Kadrovix\settings.*.tmp"
    RMDir "$LOCALAPPDATA\Kadrovix"
  ${EndIf}
SectionEnd
