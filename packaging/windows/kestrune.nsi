; SPDX-License-Identifier: MIT
; Kestrune's Windows installer, built by scripts/release-win.sh:
;   makensis -DVERSION=0.20 -DSTAGE=folder -DSIZE_KIB=n -DOUTFILE=setup.exe -DICON=kestrune.ico kestrune.nsi
; Silent use: setup.exe /S [/D=C:\folder], uninstall.exe /S. Both stop with exit
; code 2 and change nothing while Kestrune runs; uninstall.exe /S _?=C:\folder
; runs in place and waits, so its exit code can be read.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "LogicLib.nsh"
!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrune"

; Every running kestrune.exe holds this mutex; its name is the program's
; (the path is from this folder, where makensis works).
!searchparse /file "../../win/RunningMarker.h" \
    'kRunningMutexName[] = L"' RUNNING_MUTEX_ESCAPED '";'
!searchreplace RUNNING_MUTEX "${RUNNING_MUTEX_ESCAPED}" "\\" "\"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5
!define EXIT_KESTRUNE_RUNNING 2

Name "Kestrune ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kestrune"
RequestExecutionLevel admin
ManifestDPIAware true
BrandingText "Kestrune ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "Kestrune"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Kestrune ${VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Kestrune project, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\kestrune.exe"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString KESTRUNE_RUNNING ${LANG_JAPANESE} \
    "Kestrune が実行中です。Kestrune を閉じてから「再試行」を押してください。"
LangString KESTRUNE_RUNNING ${LANG_ENGLISH} "Kestrune is running. Close it, then press Retry."
LangString KESTRUNE_STILL_RUNNING ${LANG_JAPANESE} \
    "Kestrune が実行中のため中止しました。何も変更していません。"
LangString KESTRUNE_STILL_RUNNING ${LANG_ENGLISH} \
    "Stopped: Kestrune is running. Nothing was changed."

!macro KESTRUNE_RUNNING_CHECKS UN
; $0: 1 while some kestrune.exe runs. A mutex that another user's copy made
; with its own rights cannot be opened, but is there all the same.
Function ${UN}KestruneRunning
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${RUNNING_MUTEX}") p.r0 ?e'
    Pop $1
    ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        StrCpy $0 1
    ${ElseIf} $1 = ${ERROR_ACCESS_DENIED}
        StrCpy $0 1
    ${Else}
        StrCpy $0 0
    ${EndIf}
FunctionEnd

; A silent run has no window to say why it stopped: the reason goes to the
; standard error it was started with, if any, in UTF-8.
Function ${UN}TellStandardError
    Exch $0
    Push $1
    Push $2
    Push $3
    System::Call 'kernel32::GetStdHandle(i -12) p.r1'
    System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w "$0$\r$\n", i -1, p 0, i 0, p 0, p 0) i.r2'
    System::Alloc $2
    Pop $3
    System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w "$0$\r$\n", i -1, p r3, i r2, p 0, p 0)'
    IntOp $2 $2 - 1
    System::Call 'kernel32::WriteFile(p r1, p r3, i r2, *i 0, p 0)'
    System::Free $3
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; Run first in each section: files in use must not be half replaced or
; removed. The user closes Kestrune and retries; Cancel, and every silent
; run, stop before anything has changed.
Function ${UN}EnsureKestruneClosed
retry:
    Call ${UN}KestruneRunning
    ${If} $0 = 0
        Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(KESTRUNE_RUNNING)" /SD IDCANCEL IDRETRY retry
    DetailPrint "$(KESTRUNE_STILL_RUNNING)"
    Push "$(KESTRUNE_STILL_RUNNING)"
    Call ${UN}TellStandardError
    SetErrorLevel ${EXIT_KESTRUNE_RUNNING}
    Abort "$(KESTRUNE_STILL_RUNNING)"
FunctionEnd
!macroend
!insertmacro KESTRUNE_RUNNING_CHECKS ""
!insertmacro KESTRUNE_RUNNING_CHECKS "un."

; Shortcuts and the uninstall entry are for every user of the machine.
Function .onInit
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

Section "Kestrune"
    Call EnsureKestruneClosed
    SetOutPath "$INSTDIR"
    File "${STAGE}\kestrune.exe"
    File "${STAGE}\kestrune-cli.exe"
    File "${STAGE}\README.md"
    File "${STAGE}\LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Kestrune.lnk" "$INSTDIR\kestrune.exe"

    ; The entry in Apps & features.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kestrune"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Kestrune project"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestrune.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KIB}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Call un.EnsureKestruneClosed
    Delete "$SMPROGRAMS\Kestrune.lnk"
    Delete "$INSTDIR\kestrune.exe"
    Delete "$INSTDIR\kestrune-cli.exe"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
