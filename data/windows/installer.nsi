; The Windows installer: the program in a folder of the user's choice (by
; default under Program Files), a Start-menu entry with the program's icon
; for all users, and an uninstall entry in Apps & Features (Add or Remove
; Programs) whose uninstaller removes all of it. /S installs silently
; (/D=FOLDER, last on the line, chooses the folder); the uninstaller takes
; /S too. Built by scripts/package-windows.sh with makensis, which passes
; VERSION, ARCH, STAGE (the folder with the files), ICON and OUTFILE.
; The win64 installer is itself a 64-bit program: it installs into the
; 64-bit Program Files and registry view, and cannot start on 32-bit Windows.
Unicode true
!if "${ARCH}" == "win64"
  Target amd64-unicode
!endif
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Zorvex Firmware Flash Utility"
!define PUBLISHER "The Zorvex Firmware Flash Utility developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZorvexFlashUtility"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
!if "${ARCH}" == "win64"
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

; For all users: the common Start menu; the 64-bit registry view for win64.
Function .onInit
  SetShellVarContext all
!if "${ARCH}" == "win64"
  SetRegView 64
!endif
FunctionEnd

Function un.onInit
  SetShellVarContext all
!if "${ARCH}" == "win64"
  SetRegView 64
!endif
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${STAGE}\zorvex-flash.exe"
  File "${STAGE}\zorvex-flash-cli.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\zorvex-flash.exe" "" "$INSTDIR\zorvex-flash.exe" 0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zorvex-flash.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Apps & Features shows the size in KB.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\zorvex-flash.exe"
  Delete "$INSTDIR\zorvex-flash-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only if empty: the folder may have been chosen with the user's own files in it.
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
