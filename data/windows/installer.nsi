; The Windows installer: the program in its own folder under Program Files,
; a Start-menu entry, an uninstaller registered with Windows. Built by
; scripts/package-windows.sh with makensis, which passes VERSION, ARCH,
; STAGE (the folder with the files) and OUTFILE.
Unicode true
!include "MUI2.nsh"

Name "Zorvex Firmware Flash Utility ${VERSION}"
OutFile "${OUTFILE}"
!if "${ARCH}" == "win64"
  InstallDir "$PROGRAMFILES64\Zorvex Firmware Flash Utility"
!else
  InstallDir "$PROGRAMFILES\Zorvex Firmware Flash Utility"
!endif
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZorvexFlashUtility"

!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
!if "${ARCH}" == "win64"
  SetRegView 64
!endif
FunctionEnd

Function un.onInit
!if "${ARCH}" == "win64"
  SetRegView 64
!endif
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File "${STAGE}\zorvex-flash.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Zorvex Firmware Flash Utility"
  CreateShortcut "$SMPROGRAMS\Zorvex Firmware Flash Utility\Zorvex Firmware Flash Utility.lnk" "$INSTDIR\zorvex-flash.exe"
  CreateShortcut "$SMPROGRAMS\Zorvex Firmware Flash Utility\Uninstall.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Zorvex Firmware Flash Utility"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\zorvex-flash.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Zorvex Firmware Flash Utility\Zorvex Firmware Flash Utility.lnk"
  Delete "$SMPROGRAMS\Zorvex Firmware Flash Utility\Uninstall.lnk"
  RMDir "$SMPROGRAMS\Zorvex Firmware Flash Utility"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
