; Kalvane's installer and uninstaller (NSIS 3, 64-bit Unicode).
;
; Built on Linux by scripts/release.sh:
;   makensis -INPUTCHARSET UTF8 -DSETTINGS=<build>/generated/kalvane.nsh -DEXE=<Kalvane.exe> \
;            -DOUTFILE=<setup.exe> [-DSIGN=<command>] release/kalvane.nsi
; The settings file comes from the CMake build and defines VERSION (the project version) and
; ICON (the program's icon).
;
; Command line (both also in silent mode, /S):
;   /NOAUTOSTART   do not register the logon task (the option "登录时自动启动" starts unticked)
; Exit codes: 0 done (also when a Kalvane.exe in use goes only at the next restart); 1 cancelled;
; 2 aborted (Kalvane would not close, a file could not be written, or the uninstaller could not
; remove Kalvane's hosts section), or the logon task could not be registered or abc.txt not
; made private (the program itself is installed then).

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma
SetDateSave on

; A signed release: the command SIGN (scripts/sign.sh, given when release.sh has a certificate)
; signs the uninstaller before it goes into the installer, then the installer; %1 is the file.
!ifdef SIGN
  !uninstfinalize '${SIGN} "%1"' = 0
  !finalize '${SIGN} "%1"' = 0
!endif

!include "${SETTINGS}"
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define PRODUCT "Kalvane"
!define PUBLISHER "Kalvane 工作室"
!define TASK_NAME "Kalvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvane"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} 安装"
UninstallCaption "${PRODUCT} ${VERSION} 卸载"
OutFile "${OUTFILE}"
; Per machine, always in Program Files, whatever /D= asks (.onInit): the logon task, the installer
; and the uninstaller start programs from this folder elevated, so no one but administrators may
; change it, and Program Files is such a folder. A new folder elsewhere, under C:\ say, would let
; every user add and change files in it.
!define INSTALL_FOLDER "$PROGRAMFILES64\${PRODUCT}"
InstallDir "${INSTALL_FOLDER}"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "© 2026 ${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_WELCOMEPAGE_TEXT "Kalvane 让 Windows 的 hosts 文件中的一段与您在域名服务中的列表保持一致。$\r$\n$\r$\n它将安装到 $INSTDIR，并需要管理员权限。$\r$\n$\r$\n单击“下一步”继续。"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kalvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "立即运行 Kalvane"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; ---- Shared by the installer and the uninstaller ----

; Closing a running Kalvane and removing its hosts section is the program's own work
; (Kalvane.exe /close and /cleanup, see the README): it finds the genuine program, not a window
; that merely looks like it, and waits up to 20 s for it to end.

; The program unpacked under a temporary name into the installation's folder, which only
; administrators can write (the user's temporary folder is not), and run from there: by the
; installer as the new version, by the uninstaller because the installed Kalvane.exe may be gone.
!define SETUP_EXE "Kalvane.setup.exe"
!define UNINSTALL_EXE "Kalvane.uninstall.exe"

; Removes $INSTDIR\NAME. A program whose image is in use (a copy that is not elevated, stopped at
; its message "Kalvane 无法启动…") cannot be deleted or replaced but can be renamed: it is moved
; aside to a fresh name in the same folder and deleted at once, or at the next restart (the
; reboot flag is then set). Never is a file deleted by its own name at the restart: that would
; take a copy installed again before it as well. A file another program holds open without
; sharing stays where it is; the caller looks. (Not through the error flag: LogicLib's test of
; it clears it.)
!macro REMOVE_IN_USE NAME
  Delete "$INSTDIR\${NAME}"
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    GetTempFileName $R9 "$INSTDIR"
    Delete $R9
    ClearErrors
    Rename "$INSTDIR\${NAME}" $R9
    ${IfNot} ${Errors}
      DetailPrint "${NAME} 正在使用，已移到 $R9"
      Delete /REBOOTOK $R9
    ${EndIf}
  ${EndIf}
!macroend

!macro DELETE_LOGON_TASK
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "${TASK_NAME}" /F'
  Pop $0 ; fails when there is no such task, which is fine
!macroend

; ---- Installer ----

; $0 with &, < and > written as XML entities; the other characters as they are.
Function XmlEscape
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $1 ""
  StrCpy $2 0
  ${Do}
    StrCpy $3 $0 1 $2
    ${If} $3 == ""
      ${Break}
    ${ElseIf} $3 == "&"
      StrCpy $3 "&amp;"
    ${ElseIf} $3 == "<"
      StrCpy $3 "&lt;"
    ${ElseIf} $3 == ">"
      StrCpy $3 "&gt;"
    ${EndIf}
    StrCpy $1 "$1$3"
    IntOp $2 $2 + 1
  ${Loop}
  StrCpy $0 $1
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; A file that cannot be written stops the installation with an error; never is it skipped with
; the old one left in place.
AllowSkipFiles off

Section "Kalvane" SecProgram
  SectionIn RO
  SetShellVarContext all
  ; The new program closes the running one: an installed older version may know no /close. It
  ; is told the installation's folder, whose Kalvane.exe it may close through its window when
  ; that one knows no exit request.
  SetOutPath "$INSTDIR"
  File "/oname=${SETUP_EXE}" "${EXE}"
  DetailPrint "正在关闭 Kalvane（它会先移除自己在 hosts 文件中的条目）……"
  ClearErrors
  ExecWait '"$INSTDIR\${SETUP_EXE}" /close "$INSTDIR"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    Delete "$INSTDIR\${SETUP_EXE}"
    MessageBox MB_ICONSTOP "Kalvane 正在运行且未能退出。请先从托盘菜单选择“退出”，然后重新运行安装程序。" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}

  ; The new program goes in place; abc.txt (the account) stays as it is.
  !insertmacro REMOVE_IN_USE "Kalvane.exe"
  ClearErrors
  Rename "$INSTDIR\${SETUP_EXE}" "$INSTDIR\Kalvane.exe" ; fails while the old one is there
  ${If} ${Errors}
    Delete "$INSTDIR\${SETUP_EXE}"
    MessageBox MB_ICONSTOP "无法替换 $INSTDIR\Kalvane.exe：另一个程序正在使用它。请关闭该程序，然后重新运行安装程序。" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ; An abc.txt that an older version left open to every user is made private now, not only
  ; when the program next starts (which may be never, without the logon task).
  ClearErrors
  ExecWait '"$INSTDIR\Kalvane.exe" /secure' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    MessageBox MB_ICONEXCLAMATION "无法将账号文件 abc.txt 设为仅管理员可读（Kalvane.exe /secure 返回 $0）。" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Kalvane.lnk" "$INSTDIR\Kalvane.exe" "" "$INSTDIR\Kalvane.exe" 0 \
    SW_SHOWNORMAL "" "让 hosts 文件与域名服务保持一致"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kalvane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; A task from an earlier installation goes; the next section registers it again if chosen.
  !insertmacro DELETE_LOGON_TASK
  Delete "$INSTDIR\logon-task.xml"
SectionEnd

; The one way an elevated tray program starts at logon without a prompt: a Task Scheduler task
; with a logon trigger for the installing user, run with the highest privileges that user has.
Section "登录时自动启动" SecAutostart
  SetShellVarContext all
  UserInfo::GetName
  Pop $1
  ReadEnvStr $2 USERDOMAIN
  ${If} $2 != ""
    StrCpy $1 "$2\$1"
  ${EndIf}
  Push $1
  Call XmlEscape
  Pop $1
  Push "$INSTDIR"
  Call XmlEscape
  Pop $3

  ; The definition stays beside the program: what was registered, and for registering it again
  ; by hand (schtasks /Create /XML logon-task.xml /TN Kalvane) should the task be deleted.
  FileOpen $4 "$INSTDIR\logon-task.xml" w
  FileWriteWord $4 0xFEFF ; UTF-16LE, as schtasks reads task XML
  FileWriteUTF16LE $4 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $4 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $4 '  <RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $4 '    <Author>${PUBLISHER}</Author>$\r$\n'
  FileWriteUTF16LE $4 '    <Description>登录时启动 Kalvane（以最高权限运行，无需确认）。</Description>$\r$\n'
  FileWriteUTF16LE $4 '  </RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $4 '  <Triggers>$\r$\n'
  FileWriteUTF16LE $4 '    <LogonTrigger>$\r$\n'
  FileWriteUTF16LE $4 '      <Enabled>true</Enabled>$\r$\n'
  FileWriteUTF16LE $4 '      <UserId>$1</UserId>$\r$\n'
  FileWriteUTF16LE $4 '    </LogonTrigger>$\r$\n'
  FileWriteUTF16LE $4 '  </Triggers>$\r$\n'
  FileWriteUTF16LE $4 '  <Principals>$\r$\n'
  FileWriteUTF16LE $4 '    <Principal id="Author">$\r$\n'
  FileWriteUTF16LE $4 '      <UserId>$1</UserId>$\r$\n'
  FileWriteUTF16LE $4 '      <LogonType>InteractiveToken</LogonType>$\r$\n'
  FileWriteUTF16LE $4 '      <RunLevel>HighestAvailable</RunLevel>$\r$\n'
  FileWriteUTF16LE $4 '    </Principal>$\r$\n'
  FileWriteUTF16LE $4 '  </Principals>$\r$\n'
  FileWriteUTF16LE $4 '  <Settings>$\r$\n'
  FileWriteUTF16LE $4 '    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>$\r$\n'
  FileWriteUTF16LE $4 '    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>$\r$\n'
  FileWriteUTF16LE $4 '    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>$\r$\n'
  ; No time limit (the default would end the program after three days), normal priority.
  FileWriteUTF16LE $4 '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>$\r$\n'
  FileWriteUTF16LE $4 '    <Priority>5</Priority>$\r$\n'
  FileWriteUTF16LE $4 '  </Settings>$\r$\n'
  FileWriteUTF16LE $4 '  <Actions Context="Author">$\r$\n'
  FileWriteUTF16LE $4 '    <Exec>$\r$\n'
  FileWriteUTF16LE $4 '      <Command>"$3\Kalvane.exe"</Command>$\r$\n'
  FileWriteUTF16LE $4 '      <WorkingDirectory>$3</WorkingDirectory>$\r$\n'
  FileWriteUTF16LE $4 '    </Exec>$\r$\n'
  FileWriteUTF16LE $4 '  </Actions>$\r$\n'
  FileWriteUTF16LE $4 '</Task>$\r$\n'
  FileClose $4

  DetailPrint "注册登录任务“${TASK_NAME}”（用户 $1，最高权限）"
  nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Create /XML "$INSTDIR\logon-task.xml" /TN "${TASK_NAME}"'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_ICONEXCLAMATION "无法注册登录时自动启动的计划任务（schtasks 返回 $0）。Kalvane 已安装，可以从开始菜单启动。" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
SectionEnd

Function .onInit
  SetShellVarContext all
  ${If} $INSTDIR != "${INSTALL_FOLDER}"
    ; /D= names another folder (or a link to one): the installation goes to Program Files all
    ; the same, and nothing is written there.
    StrCpy $INSTDIR "${INSTALL_FOLDER}"
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOAUTOSTART" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutostart}
  ${EndIf}
FunctionEnd

; ---- Uninstaller ----

Section "Uninstall"
  SetShellVarContext all
  ; The program the uninstaller carries is started elevated from its folder: only from the one
  ; the installer uses, never from a copy of the uninstaller in a folder others may change.
  ${If} $INSTDIR != "${INSTALL_FOLDER}"
    MessageBox MB_ICONSTOP "卸载程序只能从 ${INSTALL_FOLDER} 运行。" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ; The program the uninstaller carries closes a running Kalvane, then removes a section that
  ; one left behind (killed, crashed, power lost), even when the installed Kalvane.exe is gone.
  SetOutPath "$INSTDIR"
  File "/oname=${UNINSTALL_EXE}" "${EXE}"
  DetailPrint "正在关闭 Kalvane（它会先移除自己在 hosts 文件中的条目）……"
  ClearErrors
  ExecWait '"$INSTDIR\${UNINSTALL_EXE}" /close "$INSTDIR"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    Delete "$INSTDIR\${UNINSTALL_EXE}"
    MessageBox MB_ICONSTOP "Kalvane 正在运行且未能退出。请先从托盘菜单选择“退出”，然后重新运行卸载程序。" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ClearErrors
  ExecWait '"$INSTDIR\${UNINSTALL_EXE}" /cleanup' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    Delete "$INSTDIR\${UNINSTALL_EXE}"
    MessageBox MB_ICONSTOP "无法从 hosts 文件中移除 Kalvane 的条目。请检查 hosts 文件是否可以写入，然后重新运行卸载程序。" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  SetOutPath "$TEMP" ; not the folder that goes below
  !insertmacro REMOVE_IN_USE "${UNINSTALL_EXE}"

  ; The program first: one that another program holds open without sharing can be neither
  ; deleted nor moved aside, and the uninstall stops with everything else still in place.
  !insertmacro REMOVE_IN_USE "Kalvane.exe"
  ${If} ${FileExists} "$INSTDIR\Kalvane.exe"
    MessageBox MB_ICONSTOP "无法删除 $INSTDIR\Kalvane.exe：另一个程序正在使用它。请关闭该程序，然后重新运行卸载程序。" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}

  DetailPrint "删除登录任务“${TASK_NAME}”"
  !insertmacro DELETE_LOGON_TASK

  ; The account file, the working copy of the hosts file and every temporary an interrupted
  ; save or hosts update may have left (each holds the account or hosts content); beside the
  ; hosts file, the old hosts file an interrupted replace keeps and the lock file.
  Delete "$INSTDIR\${SETUP_EXE}"
  Delete "$INSTDIR\abc.txt"
  Delete "$INSTDIR\abc.txt.new*"
  Delete "$INSTDIR\*.kalvane-new*"
  Delete "$SYSDIR\drivers\etc\hosts.kalvane-new*"
  Delete "$SYSDIR\drivers\etc\hosts.kalvane-old"
  Delete "$SYSDIR\drivers\etc\hosts.kalvane-lock"
  Delete "$INSTDIR\hosts.bak"
  Delete "$INSTDIR\kalvane-history.dat*"
  Delete "$INSTDIR\logon-task.xml"
  Delete "$SMPROGRAMS\Kalvane.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR" ; the last step: its folder gone says the uninstall is done
  ${If} ${RebootFlag}
    DetailPrint "Kalvane.exe 正在使用，将在下次重新启动计算机时删除。"
    MessageBox MB_ICONINFORMATION "Kalvane 已卸载。Kalvane.exe 仍在使用中，将在下次重新启动计算机时删除。" /SD IDOK
  ${EndIf}
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd
