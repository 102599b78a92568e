; The per-user installer, built by scripts/package.sh with
;   makensis -DVERSION=1.2.3 -DSTAGE=<folder> -DICON=<.ico> -DOUTFILE=<setup.exe>
; STAGE holds Pebbletune.exe, readme.txt and LICENSE.txt.
;
; Everything goes where the current user may write without administrator
; rights: the program under %LOCALAPPDATA%\Programs (the per-user counterpart
; of Program Files, where Windows itself puts per-user programs, and not
; roamed between machines, so a roaming profile does not copy the exe around),
; the shortcut in the user's own Start menu, the uninstall entry and the
; Explorer verbs in HKCU. Nothing here is needed by the portable exe.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
; A file that cannot be written is an error to retry or cancel, never one to
; skip: a skipped exe would leave the old version under the new one's entry.
AllowSkipFiles off

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define APP "Pebbletune"
!define PUBLISHER "Tallowen"
!define EXE "Pebbletune.exe"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pebbletune"
!define SETTINGS_KEY "Software\Tallowen\Pebbletune"
; One verb key name under each class: shown as VERB_TEXT, never the default
; verb, so the user's default player for a type stays what it was.
!define VERB "Pebbletune"
!define VERB_TEXT "Play with Pebbletune"
!define DIRECTORY_VERB "Software\Classes\Directory\shell\${VERB}"
!define TYPE_ROOT "Software\Classes\SystemFileAssociations"

Name "${APP}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\readme.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_UNCOMPONENTSPAGE_TEXT_TOP "Pebbletune itself is removed. Tick the box to forget your settings too."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The types the player can play from a file path (the optional ones once
; enabled in its menu). The macro is expanded once per extension.
!macro ForEachAudioType MACRO
  !insertmacro ${MACRO} ".mp3"
  !insertmacro ${MACRO} ".wma"
  !insertmacro ${MACRO} ".aac"
  !insertmacro ${MACRO} ".m4a"
  !insertmacro ${MACRO} ".flac"
  !insertmacro ${MACRO} ".mid"
  !insertmacro ${MACRO} ".midi"
  !insertmacro ${MACRO} ".wav"
!macroend

; The player takes the text after a leading double quote up to the next
; double quote as its path, so "%1" reaches it whole, spaces and a trailing
; backslash (D:\) included.
!macro WriteVerb KEY
  WriteRegStr HKCU "${KEY}" "" "${VERB_TEXT}"
  WriteRegStr HKCU "${KEY}" "Icon" "$INSTDIR\${EXE},0"
  ; One path per launch: with several items selected only the last would
  ; stay playing, so the verb is offered for a single item.
  WriteRegStr HKCU "${KEY}" "MultiSelectModel" "Single"
  WriteRegStr HKCU "${KEY}\command" "" '"$INSTDIR\${EXE}" "%1"'
!macroend

!macro WriteTypeVerb EXT
  !insertmacro WriteVerb "${TYPE_ROOT}\${EXT}\shell\${VERB}"
!macroend

; Removes the verb and then the parents only when nothing else is left in
; them (no subkeys, no values), so keys other programs use stay.
!macro RemoveTypeVerb EXT
  DeleteRegKey HKCU "${TYPE_ROOT}\${EXT}\shell\${VERB}"
  DeleteRegKey /ifempty HKCU "${TYPE_ROOT}\${EXT}\shell"
  DeleteRegKey /ifempty HKCU "${TYPE_ROOT}\${EXT}"
!macroend

; A running player holds its exe open until its process has ended, which can
; be a while after its window has gone (it closes the device and saves its
; settings on the way out): ask each window to close, then wait for every
; process of the installed exe, with a window or not, at most 10 seconds in
; all. One that is still there makes the file steps fail.
!macro CloseRunningPlayer
  System::Call 'kernel32::GetTickCount() i .R5'
  IntOp $R5 $R5 + 10000
  ${Do}
    System::Call 'kernel32::GetTickCount() i .R4'
    IntOp $R4 $R5 - $R4
    ${If} $R4 <= 0
      ${Break}
    ${EndIf}
    StrCpy $R3 0
    FindWindow $R0 "Pebbletune"
    ${If} $R0 != 0
      System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R2)'
      System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R2) p .R3'
      System::Call 'user32::PostMessageW(p R0, i ${WM_CLOSE}, p 0, p 0)'
    ${Else}
      ; The first process whose image is the installed exe, opened to wait on
      ; (SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION); PROCESSENTRY32W is
      ; 568 bytes, its process id at offset 8.
      System::Call 'kernel32::CreateToolhelp32Snapshot(i 2, i 0) p .R6'
      System::Alloc 568
      Pop $R7
      System::Call '*$R7(i 568)'
      System::Call 'kernel32::Process32FirstW(p R6, p R7) i .R1'
      ${DoWhile} $R1 <> 0
        System::Call '*$R7(i, i, i .R2)'
        System::Call 'kernel32::OpenProcess(i 0x00101000, i 0, i R2) p .R3'
        System::Call 'kernel32::QueryFullProcessImageNameW(p R3, i 0, w .R8, *i ${NSIS_MAX_STRLEN}) i .R9'
        ${If} $R9 <> 0
        ${AndIf} $R8 == "$INSTDIR\${EXE}"
          ${Break}
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p R3)'
        StrCpy $R3 0
        System::Call 'kernel32::Process32NextW(p R6, p R7) i .R1'
      ${Loop}
      System::Free $R7
      System::Call 'kernel32::CloseHandle(p R6)'
      ${If} $R3 = 0
        ${Break}
      ${EndIf}
    ${EndIf}
    ${If} $R3 = 0
      Sleep 200
    ${Else}
      System::Call 'kernel32::WaitForSingleObject(p R3, i R4)'
      System::Call 'kernel32::CloseHandle(p R3)'
    ${EndIf}
  ${Loop}
!macroend

Section "Pebbletune"
  SectionIn RO
  SetShellVarContext current
  !insertmacro CloseRunningPlayer
  SetOutPath "$INSTDIR"
  File "${STAGE}\${EXE}"
  File "${STAGE}\readme.txt"
  File "${STAGE}\LICENSE.txt"
  ClearErrors
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "Could not write $INSTDIR\${UNINSTALLER}." /SD IDOK
    Abort
  ${EndIf}

  CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  !insertmacro WriteVerb "${DIRECTORY_VERB}"
  !insertmacro ForEachAudioType WriteTypeVerb

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; Explorer rereads the verbs once told that associations changed.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "un.Pebbletune"
  SectionIn RO
  SetShellVarContext current
  !insertmacro CloseRunningPlayer
  ; The files first: while one stays, so do the entry and the verbs naming it.
  ClearErrors
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\LICENSE.txt"
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "Could not remove the files in $INSTDIR. Close Pebbletune and try again." /SD IDOK
    Abort
  ${EndIf}
  ; Run in place (_?=), the uninstaller cannot remove its own file; the
  ; caller does.
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "$SMPROGRAMS\${APP}.lnk"

  DeleteRegKey HKCU "${DIRECTORY_VERB}"
  DeleteRegKey /ifempty HKCU "Software\Classes\Directory\shell"
  DeleteRegKey /ifempty HKCU "Software\Classes\Directory"
  !insertmacro ForEachAudioType RemoveTypeVerb
  DeleteRegKey /ifempty HKCU "${TYPE_ROOT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; Only if empty: files the user put there are not ours to delete.
  RMDir "$INSTDIR"

  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; Off unless ticked, or /PURGE on the command line of a silent uninstall.
Section /o "un.Remove my Pebbletune settings" SettingsSection
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Tallowen"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SettingsSection}
  ${EndIf}
FunctionEnd
