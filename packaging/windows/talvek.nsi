; The Windows installer: Talvek for the user who runs it, no administrator
; needed. makensis -DVERSION=... -DBIN=<folder with the programs and the
; manual> -DICON=<talvek.ico> -DOUT=<setup.exe> talvek.nsi
; (scripts/package-windows.sh does it).
Unicode true
; 64-bit, like the programs it installs (and wine64 runs it).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Talvek"
!define MAKER "Brellam"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Talvek"
!define CLASSES "Software\Classes"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${MAKER} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${MAKER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${MAKER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Talvek"
  SetOutPath "$INSTDIR"
  File "${BIN}\talvek.exe"
  File "${BIN}\talvek-cli.exe"
  File "${BIN}\Manual.html"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\talvek.exe" "" "$INSTDIR\talvek.exe" 0

  ; The user's list of installed programs.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\talvek.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes a file type's rows when they point to this copy of the program:
; another copy, or another program that took the extension, keeps its own.
!macro RemoveTypeOf CLASS EXTENSION VALUE_KEY
  ReadRegStr $0 HKCU "${CLASSES}\${CLASS}\${VALUE_KEY}" ""
  StrLen $1 '"$INSTDIR\talvek.exe'
  StrCpy $2 $0 $1
  StrLen $3 '$INSTDIR\talvek.exe'
  StrCpy $4 $0 $3
  ${If} $2 == '"$INSTDIR\talvek.exe'
  ${OrIf} $4 == '$INSTDIR\talvek.exe'
    DeleteRegKey HKCU "${CLASSES}\${CLASS}"
    ReadRegStr $0 HKCU "${CLASSES}\${EXTENSION}" ""
    ${If} $0 == "${CLASS}"
      DeleteRegKey HKCU "${CLASSES}\${EXTENSION}"
    ${EndIf}
  ${EndIf}
!macroend

Section "Uninstall"
  Delete "$INSTDIR\talvek.exe"
  Delete "$INSTDIR\talvek-cli.exe"
  Delete "$INSTDIR\Manual.html"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Encoded files open with the program's command; key files show its icon.
  !insertmacro RemoveTypeOf "Talvek" ".tc" "shell\open\command"
  !insertmacro RemoveTypeOf "Morva.Key" ".mk" "DefaultIcon"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
