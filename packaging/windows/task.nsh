; The scheduled task that starts catalog-publisher every 15 minutes: its definition for the Task
; Scheduler, written beside the program, the offer to register it on an interactive install, and
; its removal on uninstall. Included at top level by the installer's script (Unicode, 64-bit).
;
; Provides:
;   Function CatpubWriteTask      writes $INSTDIR\catalog-publisher-task.xml (call after $INSTDIR
;                                 holds the program); sets the error flag when it cannot
;   Function CatpubOfferTask      interactive installs only: asks whether to register the task now
;                                 and does so in a console, where the account's password is typed
;   Function un.CatpubRemoveTask  deletes the task, if there is one, and the definition; never fails
;
; Reads one define, which the build passes from cmake/run_time_limit.cmake:
;   CATPUB_TASK_EXECUTION_TIME_LIMIT  the longest a run may take (XML duration), as the Linux
;                                     service's TimeoutStartSec
;
; The task is registered by hand or by a roll-out script with the command the manual documents:
;   schtasks /Create /XML "<$INSTDIR>\catalog-publisher-task.xml" /TN catalog-publisher
;            /RU DOMAIN\user /RP *
!ifndef CATPUB_TASK_NSH_INCLUDED
!define CATPUB_TASK_NSH_INCLUDED

!include LogicLib.nsh
!include FileFunc.nsh

!ifndef CATPUB_TASK_EXECUTION_TIME_LIMIT
  ; 3600 s waiting for another run + 600 s + 2 x 30 s + 12 x 60 s + 60 s: the default timeouts.
  !define CATPUB_TASK_EXECUTION_TIME_LIMIT PT1H24M
!endif
!define CATPUB_TASK_NAME catalog-publisher
!define CATPUB_TASK_FILE catalog-publisher-task.xml

; The root of the shop's drive, e.g. D:\, which becomes the task's working directory.
Var CatpubTaskDrive

; Pops a text; pushes it with the characters that XML reserves, & < > " ', as entities (paths such as
; C:\Programmi\A&B are allowed on Windows).
Function CatpubXmlEscape
  Exch $0
  Push $1 ; the escaped text so far
  Push $2 ; one character
  Push $3 ; its index
  StrCpy $1 ""
  StrCpy $3 0
  ${Do}
    StrCpy $2 $0 1 $3
    ${If} $2 == ""
      ${ExitDo}
    ${ElseIf} $2 == "&"
      StrCpy $2 "&amp;"
    ${ElseIf} $2 == "<"
      StrCpy $2 "&lt;"
    ${ElseIf} $2 == ">"
      StrCpy $2 "&gt;"
    ${ElseIf} $2 == '"'
      StrCpy $2 "&quot;"
    ${ElseIf} $2 == "'"
      StrCpy $2 "&apos;"
    ${EndIf}
    StrCpy $1 "$1$2"
    IntOp $3 $3 + 1
  ${Loop}
  StrCpy $0 $1
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Pops what followed /DRIVE= on the command line; pushes the root of that drive (D:\ for d, D:
; or D:\), or "" when it names no drive.
Function CatpubDriveRoot
  Exch $0
  Push $1 ; the letter given
  Push $2
  Push $3
  StrCpy $1 $0 1
  StrCpy $2 $0 "" 1
  StrCpy $0 ""
  ${If} $2 == ""
  ${OrIf} $2 == ":"
  ${OrIf} $2 == ":\"
    StrCpy $3 0
    ${Do}
      StrCpy $2 "ABCDEFGHIJKLMNOPQRSTUVWXYZ" 1 $3
      ${If} $2 == ""
        ${ExitDo}
      ${ElseIf} $1 == $2 ; StrCmp ignores case: d is D, and the root is written in capitals
        StrCpy $0 "$2:\"
        ${ExitDo}
      ${EndIf}
      IntOp $3 $3 + 1
    ${Loop}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Sets $CatpubTaskDrive to the drive where a run must find \nodo\orbis.mdb (the program looks on
; the current drive, which the task's working directory makes): /DRIVE=X: when the installer's
; command line has it (scripted roll-outs, also before the databases are in place), else the first
; drive, in letter order, that is fixed or a network drive and holds \nodo\orbis.mdb, else C:.
; Drives are asked for their type first, so that no empty card reader or floppy drive is touched.
Function CatpubFindShopDrive
  Push $0
  Push $1
  Push $2
  StrCpy $CatpubTaskDrive ""
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/DRIVE=" $1
  ${IfNot} ${Errors}
    Push $1
    Call CatpubDriveRoot
    Pop $CatpubTaskDrive
    ${If} $CatpubTaskDrive == ""
      DetailPrint "/DRIVE=$1 non è una lettera di unità (ad esempio /DRIVE=D:): unità cercata su questo computer"
    ${EndIf}
  ${EndIf}
  ${If} $CatpubTaskDrive == ""
    StrCpy $0 0
    ${Do}
      StrCpy $1 "ABCDEFGHIJKLMNOPQRSTUVWXYZ" 1 $0
      ${If} $1 == ""
        ${ExitDo}
      ${EndIf}
      System::Call 'kernel32::GetDriveTypeW(w "$1:\") i .r2'
      ; 3 DRIVE_FIXED, 4 DRIVE_REMOTE
      ${If} $2 == 3
      ${OrIf} $2 == 4
        ${If} ${FileExists} "$1:\nodo\orbis.mdb"
          StrCpy $CatpubTaskDrive "$1:\"
          ${ExitDo}
        ${EndIf}
      ${EndIf}
      IntOp $0 $0 + 1
    ${Loop}
  ${EndIf}
  ${If} $CatpubTaskDrive == ""
    StrCpy $CatpubTaskDrive "C:\"
    DetailPrint "Nessuna unità contiene \nodo\orbis.mdb: l'attività pianificata parte da C:\"
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; One line of the task's definition, in the handle $0, with Windows' line end.
!macro _CatpubTaskLine text
  FileWriteUTF16LE $0 `${text}$\r$\n`
!macroend
!define CatpubTaskLine `!insertmacro _CatpubTaskLine`

; Writes $INSTDIR\catalog-publisher-task.xml, the task for the Task Scheduler (schema 1.2: Windows
; 7 and Server 2008 R2 on), in UTF-16 with a byte order mark as schtasks /XML expects. Sets the
; error flag when the file cannot be written.
Function CatpubWriteTask
  Push $0 ; the file
  Push $1 ; the program, escaped
  Push $2 ; the working directory, escaped
  Call CatpubFindShopDrive
  Push "$INSTDIR\catalog-publisher.exe"
  Call CatpubXmlEscape
  Pop $1
  Push $CatpubTaskDrive
  Call CatpubXmlEscape
  Pop $2
  CreateDirectory $INSTDIR
  ClearErrors
  FileOpen $0 "$INSTDIR\${CATPUB_TASK_FILE}" w
  ${If} ${Errors}
    DetailPrint "ERRORE : impossibile scrivere l'attività pianificata $INSTDIR\${CATPUB_TASK_FILE}"
  ${Else}
    FileWriteUTF16LE /BOM $0 `<?xml version="1.0" encoding="UTF-16"?>$\r$\n`
    ${CatpubTaskLine} `<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">`
    ${CatpubTaskLine} `  <RegistrationInfo>`
    ${CatpubTaskLine} `    <Author>catalog-publisher maintainers</Author>`
    ${CatpubTaskLine} `    <Description>Pubblica il catalogo articoli del negozio sul server FTP ogni 15 minuti. Esito nel registro eventi Applicazione, origine catalog-publisher, e in C:\orbis\bkp.</Description>`
    ${CatpubTaskLine} `    <URI>\${CATPUB_TASK_NAME}</URI>`
    ${CatpubTaskLine} `  </RegistrationInfo>`
    ${CatpubTaskLine} `  <Triggers>`
    ${CatpubTaskLine} `    <TimeTrigger>`
    ; From a past quarter hour, local time: the runs fall at :00, :15, :30 and :45, as the Linux
    ; timer's *:0/15, the first at the next quarter hour after the task is registered.
    ${CatpubTaskLine} `      <Enabled>true</Enabled>`
    ${CatpubTaskLine} `      <StartBoundary>2026-01-01T00:00:00</StartBoundary>`
    ${CatpubTaskLine} `      <Repetition>`
    ${CatpubTaskLine} `        <Interval>PT15M</Interval>`
    ${CatpubTaskLine} `        <StopAtDurationEnd>false</StopAtDurationEnd>`
    ${CatpubTaskLine} `      </Repetition>`
    ${CatpubTaskLine} `    </TimeTrigger>`
    ${CatpubTaskLine} `  </Triggers>`
    ; The account comes from schtasks /RU; Password runs the task whether or not the user is logged
    ; on, in session 0 (no window can show: a stopped run ends at once). S4U would need no stored
    ; password but gets no network access, so no database on a share could be read.
    ${CatpubTaskLine} `  <Principals>`
    ${CatpubTaskLine} `    <Principal id="Author">`
    ${CatpubTaskLine} `      <LogonType>Password</LogonType>`
    ${CatpubTaskLine} `      <RunLevel>LeastPrivilege</RunLevel>`
    ${CatpubTaskLine} `    </Principal>`
    ${CatpubTaskLine} `  </Principals>`
    ${CatpubTaskLine} `  <Settings>`
    ; A run still going at the next quarter hour is left alone and that start skipped, as systemd
    ; does; the run itself also waits for another run of the shop.
    ${CatpubTaskLine} `    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>`
    ${CatpubTaskLine} `    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>`
    ${CatpubTaskLine} `    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>`
    ${CatpubTaskLine} `    <AllowHardTerminate>true</AllowHardTerminate>`
    ; A start missed while the machine was off or asleep is made when it is back, as the Linux
    ; timer's Persistent=true.
    ${CatpubTaskLine} `    <StartWhenAvailable>true</StartWhenAvailable>`
    ; The run reports an unreachable server itself (status 2); the next start tries again.
    ${CatpubTaskLine} `    <RunOnlyIfNetworkAvailable>false</RunOnlyIfNetworkAvailable>`
    ${CatpubTaskLine} `    <AllowStartOnDemand>true</AllowStartOnDemand>`
    ${CatpubTaskLine} `    <Enabled>true</Enabled>`
    ${CatpubTaskLine} `    <Hidden>false</Hidden>`
    ${CatpubTaskLine} `    <RunOnlyIfIdle>false</RunOnlyIfIdle>`
    ${CatpubTaskLine} `    <WakeToRun>false</WakeToRun>`
    ; Beyond the wait for another run and every compiled-in FTP timeout: only a run stuck outside
    ; them is stopped.
    ${CatpubTaskLine} `    <ExecutionTimeLimit>${CATPUB_TASK_EXECUTION_TIME_LIMIT}</ExecutionTimeLimit>`
    ; 7, the Task Scheduler's own default: below normal for the processor, low for the disk, so
    ; that the shop's software goes first (the Linux service's Nice=19 and idle I/O class).
    ${CatpubTaskLine} `    <Priority>7</Priority>`
    ${CatpubTaskLine} `  </Settings>`
    ${CatpubTaskLine} `  <Actions Context="Author">`
    ${CatpubTaskLine} `    <Exec>`
    ${CatpubTaskLine} `      <Command>$1</Command>`
    ${CatpubTaskLine} `      <WorkingDirectory>$2</WorkingDirectory>`
    ${CatpubTaskLine} `    </Exec>`
    ${CatpubTaskLine} `  </Actions>`
    ${CatpubTaskLine} `</Task>`
    FileClose $0
    DetailPrint "Attività pianificata scritta in $INSTDIR\${CATPUB_TASK_FILE}, cartella di lavoro $CatpubTaskDrive"
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; On an interactive install, offers to register the task now, as the installing user: the account
; that is at the machine and knows its password, an administrator (the installer needs one) that
; can log on as a batch job. Other accounts: the documented command. schtasks runs in a console of
; its own, where it asks for the password; its exit status decides what the installer says (its
; console closes with it: the documented command, typed in a console, shows why it failed).
; Silent installs (/S) never register it: a roll-out script runs the documented command.
Function CatpubOfferTask
  ${If} ${Silent}
    Return
  ${EndIf}
  Push $0 ; the account
  Push $1 ; schtasks' exit status
  Push $2 ; /F when replacing a task
  ReadEnvStr $0 USERNAME
  ReadEnvStr $1 USERDOMAIN
  ${If} $1 != ""
    StrCpy $0 "$1\$0"
  ${EndIf}
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Query /TN ${CATPUB_TASK_NAME}'
  Pop $1
  ${If} $1 == 0
    StrCpy $2 " /F"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "L'attività pianificata ${CATPUB_TASK_NAME} esiste già.$\r$\n$\r$\nSostituirla con quella di questa versione, eseguita come $0 ogni 15 minuti anche senza utenti connessi? Una finestra del prompt dei comandi chiederà la password di $0." \
      /SD IDNO IDYES register
  ${Else}
    StrCpy $2 ""
    MessageBox MB_YESNO|MB_ICONQUESTION \
      "Registrare ora l'attività pianificata ${CATPUB_TASK_NAME}, eseguita come $0 ogni 15 minuti anche senza utenti connessi?$\r$\n$\r$\nUna finestra del prompt dei comandi chiederà la password di $0. Per un altro account: schtasks /Create /XML $\"$INSTDIR\${CATPUB_TASK_FILE}$\" /TN ${CATPUB_TASK_NAME} /RU DOMINIO\utente /RP *" \
      /SD IDNO IDYES register
  ${EndIf}
  Goto done
  register:
  ExecWait `"$SYSDIR\schtasks.exe" /Create /XML "$INSTDIR\${CATPUB_TASK_FILE}" /TN ${CATPUB_TASK_NAME} /RU "$0" /RP *$2` $1
  ${If} $1 == 0
    DetailPrint "Attività pianificata ${CATPUB_TASK_NAME} registrata come $0"
  ${Else}
    DetailPrint "ERRORE : attività pianificata ${CATPUB_TASK_NAME} non registrata (schtasks: codice $1)"
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "L'attività pianificata ${CATPUB_TASK_NAME} non è stata registrata (schtasks: codice $1). Registrarla da un prompt dei comandi dell'amministratore, che mostra il motivo: schtasks /Create /XML $\"$INSTDIR\${CATPUB_TASK_FILE}$\" /TN ${CATPUB_TASK_NAME} /RU $0 /RP *"
  ${EndIf}
  done:
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Deletes the task and the definition beside the program. Having no task is normal (it was never
; registered, or an admin removed it), so schtasks' failure is ignored and nothing shows.
Function un.CatpubRemoveTask
  Push $0
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN ${CATPUB_TASK_NAME} /F'
  Pop $0
  ${If} $0 == 0
    DetailPrint "Attività pianificata ${CATPUB_TASK_NAME} eliminata"
  ${EndIf}
  Delete "$INSTDIR\${CATPUB_TASK_FILE}"
  Pop $0
FunctionEnd

!endif
