; Rowcaster installer. Built by scripts/make-dist.sh:
;   makensis -DVERSION=1.0.0.1 -DSTAGE=<folder with the files> -DOUTFILE=<setup.exe> rowcaster.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"

!ifndef VERSION
  !define VERSION "1.0.0.1"
!endif
!define PRODUCT "Rowcaster"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Installing into Program Files is what asks for elevation; nothing else does.
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "CompanyName" "Tallowmere"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Tallowmere"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Rowcaster"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\Rowcaster.exe"
  File "${STAGE}\GridBridge.dll"
  File "${STAGE}\rowcaster-send.exe"
  File "${STAGE}\SMTP.exe"
  File "${STAGE}\guide-ja.txt"
  File "${STAGE}\guide-options.png"
  SetOutPath "$INSTDIR\sample"
  File "${STAGE}\sample\*.*"
  SetOutPath "$INSTDIR\third-party"
  File "${STAGE}\third-party\*.*"
  SetOutPath "$INSTDIR"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Rowcaster.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\guide-ja.lnk" "$INSTDIR\guide-ja.txt"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tallowmere"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The data folder (settings and send log under ProgramData) belongs to the user: it stays.
Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\Rowcaster.exe"
  Delete "$INSTDIR\GridBridge.dll"
  Delete "$INSTDIR\rowcaster-send.exe"
  Delete "$INSTDIR\SMTP.exe"
  Delete "$INSTDIR\guide-ja.txt"
  Delete "$INSTDIR\guide-options.png"
  RMDir /r "$INSTDIR\sample"
  RMDir /r "$INSTDIR\third-party"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\guide-ja.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
