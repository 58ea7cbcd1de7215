; Per-user setup program of Tavo: no administrator rights, the program folder
; stays writable (outputs and user.ini live beside tavo.exe).
; tools/package_windows.sh runs makensis with these defines:
;   VERSION    product version, e.g. 1.1.0.13     VIVERSION  the same as a.b.c.d
;   STAGE      the staged package folder          FILES      folder of install.nsh / uninstall.nsh
;   ICON       tavo.ico                           SIZE_KB    size of the installed files
;   OUTFILE    the setup program to write
; Silent: Tavo-<version>-setup.exe /S [/D=folder], uninstall.exe /S.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh

!define APPNAME "NIVAサポートツール (Tavo)"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavo"
!define SHORTCUT "${APPNAME}.lnk"
; The mutex tavo.exe holds while it runs (src/app/single_instance.h).
!define MUTEX "TavoMutex"

Name "${APPNAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tavo"
; An update goes where the last install went (unless /D= or the user says otherwise).
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${APPNAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

Var SiyoKept

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderWritable
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tavo.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VIVERSION}"
VIFileVersion "${VIVERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${APPNAME}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "Tavo"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${APPNAME} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "© Tavo"
VIAddVersionKey /LANG=${LANG_JAPANESE} "OriginalFilename" "Tavo-${VERSION}-setup.exe"

; Files replaced or removed while tavo.exe runs would leave a mixed folder:
; wait for the user to end it, or stop (exit code 2; silent mode stops at once).
!macro CHECK_NOT_RUNNING UN
Function ${UN}CheckNotRunning
  retry:
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${MUTEX}") p .r0'
  ${If} $0 != 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${APPNAME} が起動しています。$\r$\nプログラムを終了してから「再試行」を押してください。" \
      /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CHECK_NOT_RUNNING ""
!insertmacro CHECK_NOT_RUNNING "un."

; $R2 = 1 when the files $R0 and $R1 hold the same bytes, else 0.
!macro SAME_FILE UN
Function ${UN}SameFile
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  StrCpy $R2 0
  ClearErrors
  FileOpen $0 $R0 r
  ${IfNot} ${Errors}
    FileOpen $1 $R1 r
    ${IfNot} ${Errors}
      FileSeek $0 0 END $2
      FileSeek $1 0 END $3
      ${If} $2 = $3
        FileSeek $0 0 SET
        FileSeek $1 0 SET
        StrCpy $R2 1
        ${DoWhile} $2 > 0
          FileReadByte $0 $4
          FileReadByte $1 $5
          ${If} ${Errors}
          ${OrIf} $4 != $5
            StrCpy $R2 0
            ${Break}
          ${EndIf}
          IntOp $2 $2 - 1
        ${Loop}
      ${EndIf}
      FileClose $1
    ${EndIf}
    FileClose $0
  ${EndIf}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro SAME_FILE ""
!insertmacro SAME_FILE "un."

Function .onInit
  Call CheckNotRunning
FunctionEnd

Function un.onInit
  Call un.CheckNotRunning
FunctionEnd

; The program writes its outputs and user.ini into its own folder.
Function CheckFolderWritable
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $0 "$INSTDIR\tavo-setup-check.tmp" w
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "フォルダー $INSTDIR には書き込めません。$\r$\n変換した出力ファイルと設定ファイルはプログラムと同じフォルダーに書き込まれますので、書き込みのできるフォルダーを選んでください。"
    Abort
  ${EndIf}
  FileClose $0
  Delete "$INSTDIR\tavo-setup-check.tmp"
FunctionEnd

Section "!${APPNAME}" SecMain
  SectionIn RO
  ; Tavo may have been started while the pages were shown.
  Call CheckNotRunning
  SetOutPath "$INSTDIR"
  !include "${FILES}/install.nsh"

  ; siyo4.csv is the clinic's to edit: an edited one stays, the new default
  ; goes beside it.
  StrCpy $SiyoKept 0
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${STAGE}/siyo4.csv"
  SetOutPath "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\siyo4.csv"
    StrCpy $R0 "$INSTDIR\siyo4.csv"
    StrCpy $R1 "$PLUGINSDIR\siyo4.csv"
    Call SameFile
    ${If} $R2 = 0
      File "/oname=siyo4.csv.new" "${STAGE}/siyo4.csv"
      StrCpy $SiyoKept 1
    ${EndIf}
  ${Else}
    File "${STAGE}/siyo4.csv"
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\tavo.exe" "" "$INSTDIR\tavo.exe" 0
SectionEnd

Section "デスクトップにショートカットを作成する" SecDesktop
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${SHORTCUT}" "$INSTDIR\tavo.exe" "" "$INSTDIR\tavo.exe" 0
SectionEnd

Section "-Register"
  ; Unticked on an update: the icon of the earlier install goes too.
  ${IfNot} ${SectionIsSelected} ${SecDesktop}
    Delete "$DESKTOP\${SHORTCUT}"
  ${EndIf}
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "${APPNAME}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Tavo"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\tavo.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${If} $SiyoKept = 1
    DetailPrint "編集された siyo4.csv を残し、新しい既定の内容を siyo4.csv.new に置きました。"
    MessageBox MB_OK|MB_ICONINFORMATION \
      "FF1連携の項目設定ファイル siyo4.csv は編集されているため、そのまま残しました。$\r$\nこの版の既定の内容は、同じフォルダーに siyo4.csv.new として置きました。$\r$\n必要であれば見比べて、変更を取り入れてください。$\r$\n$\r$\n$INSTDIR" \
      /SD IDOK
  ${EndIf}
SectionEnd

Section "Uninstall"
  Call un.CheckNotRunning
  !include "${FILES}/uninstall.nsh"

  ; siyo4.csv and siyo4.csv.new go only as the setup placed them.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${STAGE}/siyo4.csv"
  StrCpy $R1 "$PLUGINSDIR\siyo4.csv"
  StrCpy $R0 "$INSTDIR\siyo4.csv"
  Call un.SameFile
  ${If} $R2 = 1
    Delete "$INSTDIR\siyo4.csv"
  ${EndIf}
  StrCpy $R0 "$INSTDIR\siyo4.csv.new"
  Call un.SameFile
  ${If} $R2 = 1
    Delete "$INSTDIR\siyo4.csv.new"
  ${EndIf}

  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$DESKTOP\${SHORTCUT}"
  DeleteRegKey HKCU "${UNINST_KEY}"

  ; Whatever is left is the user's: settings, an edited siyo4.csv, outputs,
  ; the run history. The folder stays with it.
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\*.*"
    StrCpy $1 ""
    FindFirst $0 $2 "$INSTDIR\*.*"
    ${DoWhile} $2 != ""
      ${If} $2 != "."
      ${AndIf} $2 != ".."
        ${If} ${FileExists} "$INSTDIR\$2\*.*"
          StrCpy $1 "$1$\r$\n  $2\"
        ${Else}
          StrCpy $1 "$1$\r$\n  $2"
        ${EndIf}
      ${EndIf}
      FindNext $0 $2
    ${Loop}
    FindClose $0
    DetailPrint "フォルダー $INSTDIR と、その中のプログラムのもの以外のファイルを残しました。"
    MessageBox MB_OK|MB_ICONINFORMATION \
      "${APPNAME} をアンインストールしました。$\r$\n$\r$\n次のファイルはプログラムのものではない（設定ファイルや作成したファイルなど）ため、フォルダー $INSTDIR とともに残しました。不要であれば、フォルダーごと削除してください。$\r$\n$1" \
      /SD IDOK
  ${EndIf}
SectionEnd
