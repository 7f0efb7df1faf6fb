; SPDX-License-Identifier: GPL-3.0-or-later
; Flashquill for 64-bit Windows: the window and the command line, a
; Start-menu entry, an uninstaller, and the Bridgewick driver package, whose
; installation with pnputil is a box the user ticks.
;
; The build runs makensis with FQ_FILES (the generated list of what this
; build has: FQ_VERSION, FQ_LICENSE, FQ_CLI, FQ_WINDOW, FQ_DRIVER_*) and
; FQ_OUTFILE.
; The programs are x64 builds, so the installer is one too. The driver
; package keeps the 32-bit description and image in driver\x86 for 32-bit
; machines, where they are installed by hand.

Unicode true
Target amd64-unicode
!include "${FQ_FILES}"
!include "MUI2.nsh"
!include "LogicLib.nsh"

!ifndef FQ_CLI
  !error "the command line's Windows build is missing"
!endif
!ifndef FQ_LICENSE
  !error "the licence text is missing"
!endif

!define FQ_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Flashquill"
!define FQ_KEY "Software\Flashquill"

Name "Flashquill ${FQ_VERSION}"
OutFile "${FQ_OUTFILE}"
InstallDir "$PROGRAMFILES64\Flashquill"
InstallDirRegKey HKLM "${FQ_KEY}" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
; The installer records no file's date (each gets the time it is installed),
; so two builds of the same sources make the same installer.
SetDateSave off
ShowUninstDetails show
BrandingText "Flashquill ${FQ_VERSION}"
!ifdef FQ_ICON
  !define MUI_ICON "${FQ_ICON}"
  !define MUI_UNICON "${FQ_ICON}"
!endif

VIProductVersion "${FQ_VERSION}"
VIAddVersionKey "ProductName" "Flashquill"
VIAddVersionKey "ProductVersion" "${FQ_VERSION}"
VIAddVersionKey "FileVersion" "${FQ_VERSION}"
VIAddVersionKey "FileDescription" "Flashquill Setup"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 the Flashquill developers; GPL-3.0-or-later"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_SMALLDESC
; Flashquill is free software under the GNU GPL, version 3 or later: the
; licence is shown before anything is installed, and installed next to the
; programs.
!define MUI_LICENSEPAGE_TEXT_TOP "Flashquill is free software under the GNU General Public License, version 3 or later."
!define MUI_LICENSEPAGE_BUTTON "&Next >"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "The licence grants you the right to use, change and share Flashquill; accepting it is not required to use the program."
!insertmacro MUI_PAGE_LICENSE "${FQ_LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!ifdef FQ_WINDOW
  !define MUI_FINISHPAGE_RUN "$INSTDIR\flashquill.exe"
!endif
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Flashquill" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  !ifdef FQ_WINDOW
    File "/oname=flashquill.exe" "${FQ_WINDOW}"
  !endif
  File "/oname=flashquill-cli.exe" "${FQ_CLI}"
  File "/oname=LICENSE.txt" "${FQ_LICENSE}"

  ; The driver package: copied always, installed only by its own section.
  SetOutPath "$INSTDIR\driver\x64"
  !ifdef FQ_DRIVER_INF_X64
    File "/oname=${FQ_DRIVER_INF_X64_NAME}" "${FQ_DRIVER_INF_X64}"
  !endif
  !ifdef FQ_DRIVER_SYS_X64
    File "/oname=${FQ_DRIVER_SYS_X64_NAME}" "${FQ_DRIVER_SYS_X64}"
  !endif
  !ifdef FQ_DRIVER_CAT_X64
    File "/oname=${FQ_DRIVER_CAT_X64_NAME}" "${FQ_DRIVER_CAT_X64}"
  !endif
  !ifdef FQ_DRIVER_CER
    File "/oname=${FQ_DRIVER_CER_NAME}" "${FQ_DRIVER_CER}"
  !endif
  SetOutPath "$INSTDIR\driver\x86"
  !ifdef FQ_DRIVER_INF_X86
    File "/oname=${FQ_DRIVER_INF_X86_NAME}" "${FQ_DRIVER_INF_X86}"
  !endif
  !ifdef FQ_DRIVER_SYS_X86
    File "/oname=${FQ_DRIVER_SYS_X86_NAME}" "${FQ_DRIVER_SYS_X86}"
  !endif
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${FQ_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${FQ_UNINSTALL_KEY}" "DisplayName" "Flashquill"
  WriteRegStr HKLM "${FQ_UNINSTALL_KEY}" "DisplayVersion" "${FQ_VERSION}"
  WriteRegStr HKLM "${FQ_UNINSTALL_KEY}" "Publisher" "Flashquill developers"
  WriteRegStr HKLM "${FQ_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${FQ_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${FQ_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  !ifdef FQ_WINDOW
    WriteRegStr HKLM "${FQ_UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\flashquill.exe"
  !endif
  WriteRegDWORD HKLM "${FQ_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${FQ_UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Start menu entries" SecStartMenu
  CreateDirectory "$SMPROGRAMS\Flashquill"
  !ifdef FQ_WINDOW
    CreateShortcut "$SMPROGRAMS\Flashquill\Flashquill.lnk" "$INSTDIR\flashquill.exe"
  !endif
  ; A command prompt in the installation folder, the command line's help shown.
  CreateShortcut "$SMPROGRAMS\Flashquill\Flashquill Command Line.lnk" "$SYSDIR\cmd.exe" \
    '/k "cd /d "$INSTDIR" && flashquill-cli.exe --help"' "$SYSDIR\cmd.exe" 0
  CreateShortcut "$SMPROGRAMS\Flashquill\Uninstall Flashquill.lnk" "$INSTDIR\Uninstall.exe"
SectionEnd

!ifdef FQ_DRIVER_INF_X64
Section /o "Bridgewick driver (the cable's driver, test-signed)" SecDriver
  ; A test-signed driver loads only with test signing on, and installs
  ; without a question only when its certificate is trusted.
  !ifdef FQ_DRIVER_CER
    DetailPrint "Trusting the driver's test certificate"
    nsExec::ExecToLog '"$SYSDIR\certutil.exe" -f -addstore Root "$INSTDIR\driver\x64\${FQ_DRIVER_CER_NAME}"'
    Pop $0
    nsExec::ExecToLog '"$SYSDIR\certutil.exe" -f -addstore TrustedPublisher "$INSTDIR\driver\x64\${FQ_DRIVER_CER_NAME}"'
    Pop $0
  !endif
  DetailPrint "Installing the driver with pnputil"
  nsExec::ExecToLog '"$SYSDIR\pnputil.exe" /add-driver "$INSTDIR\driver\x64\${FQ_DRIVER_INF_X64_NAME}" /install'
  Pop $0
  ${If} $0 == 0
  ${OrIf} $0 == 3010
    WriteRegDWORD HKLM "${FQ_KEY}" "DriverInstalled" 1
  ${Else}
    MessageBox MB_ICONEXCLAMATION "pnputil could not install the Bridgewick driver (exit code $0).$\r$\n\
The driver package stays in $INSTDIR\driver; on a machine in test mode it can be installed later with$\r$\n\
pnputil /add-driver $\"$INSTDIR\driver\x64\${FQ_DRIVER_INF_X64_NAME}$\" /install" /SD IDOK
  ${EndIf}
SectionEnd
!endif

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The Flashquill programs and the driver package's files."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecStartMenu} "Start menu entries for the window, the command line and the uninstaller."
  !ifdef FQ_DRIVER_INF_X64
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDriver} "Installs the Bridgewick driver with pnputil, so the cable can be used. Needs test signing on (bcdedit /set testsigning on)."
  !endif
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  ; A driver installed from here stays in the system's driver store: it is
  ; shared by every program that talks to the cable.
  ReadRegDWORD $0 HKLM "${FQ_KEY}" "DriverInstalled"
  ${If} $0 == 1
    DetailPrint "The Bridgewick driver stays installed (pnputil /delete-driver removes it)."
  ${EndIf}
  Delete "$SMPROGRAMS\Flashquill\Flashquill.lnk"
  Delete "$SMPROGRAMS\Flashquill\Flashquill Command Line.lnk"
  Delete "$SMPROGRAMS\Flashquill\Uninstall Flashquill.lnk"
  RMDir "$SMPROGRAMS\Flashquill"

  Delete "$INSTDIR\flashquill.exe"
  Delete "$INSTDIR\flashquill-cli.exe"
  Delete "$INSTDIR\LICENSE.txt"
  !ifdef FQ_DRIVER_INF_X64
    Delete "$INSTDIR\driver\x64\${FQ_DRIVER_INF_X64_NAME}"
  !endif
  !ifdef FQ_DRIVER_SYS_X64
    Delete "$INSTDIR\driver\x64\${FQ_DRIVER_SYS_X64_NAME}"
  !endif
  !ifdef FQ_DRIVER_CAT_X64
    Delete "$INSTDIR\driver\x64\${FQ_DRIVER_CAT_X64_NAME}"
  !endif
  !ifdef FQ_DRIVER_CER
    Delete "$INSTDIR\driver\x64\${FQ_DRIVER_CER_NAME}"
  !endif
  !ifdef FQ_DRIVER_INF_X86
    Delete "$INSTDIR\driver\x86\${FQ_DRIVER_INF_X86_NAME}"
  !endif
  !ifdef FQ_DRIVER_SYS_X86
    Delete "$INSTDIR\driver\x86\${FQ_DRIVER_SYS_X86_NAME}"
  !endif
  RMDir "$INSTDIR\driver\x64"
  RMDir "$INSTDIR\driver\x86"
  RMDir "$INSTDIR\driver"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${FQ_UNINSTALL_KEY}"
  DeleteRegKey HKLM "${FQ_KEY}"
SectionEnd
